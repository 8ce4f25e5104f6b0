// Counts heap allocations, so "a tick allocates nothing" is measured rather
// than assumed. The C allocation functions and the global operator new and
// delete are replaced for this whole test program (glibc supports replacing
// malloc, free, calloc and realloc together); each forwards to glibc's own
// allocator and bumps a counter. A switch makes allocations fail, to check
// what the settings do when the heap is exhausted.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <new>

#include "composer/status_composer.h"
#include "core_test_support.h"
#include "settings/plugin_settings.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define TAVRIN_SANITIZER_ALLOCATOR 1
#endif
#endif

#if !defined(TAVRIN_SANITIZER_ALLOCATOR) && defined(__GLIBC__)
#define TAVRIN_COUNTS_ALLOCATIONS 1

static std::atomic<long> g_allocations{0};
static std::atomic<bool> g_failAllocations{false};

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (g_failAllocations.load(std::memory_order_relaxed)) return nullptr;
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (g_failAllocations.load(std::memory_order_relaxed)) return nullptr;
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (g_failAllocations.load(std::memory_order_relaxed)) return nullptr;
  return __libc_realloc(block, size);
}

void free(void* block) { __libc_free(block); }
}

// operator new goes through the counted malloc above.
void* operator new(size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size != 0 ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size != 0 ? size : 1); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
#endif

namespace {

#if defined(TAVRIN_COUNTS_ALLOCATIONS)

long Allocations() { return g_allocations.load(std::memory_order_relaxed); }

// Makes every allocation fail for the lifetime of this object.
struct HeapExhausted {
  HeapExhausted() { g_failAllocations = true; }
  ~HeapExhausted() { g_failAllocations = false; }
};

TEST(Allocation, TheCounterSeesAllocations) {
  long before = Allocations();
  // volatile: the compiler may otherwise drop an allocation nobody uses.
  void* volatile block = malloc(16);
  free(block);
  int* volatile number = new int(1);
  delete number;
  EXPECT_EQ(before + 2, Allocations());
}

TEST(Allocation, ATickAllocatesNothing) {
  FakeHost host;
  FakeHostScope scope(&host);
  static StatusComposer composer;  // zero, as the module's state at load
  const char* format = "$A - $T ($D) $P $I/$L $B $S";

  long before = Allocations();
  const char* first = ComposeTick(FakeQuery, format, &composer);  // new title
  const char* unchanged = ComposeTick(FakeQuery, format, &composer);
  host.positionMs = 200000;  // the bar moves
  const char* moved = ComposeTick(FakeQuery, format, &composer);
  host.title = "Another Artist - Another Song";
  const char* changed = ComposeTick(FakeQuery, format, &composer);
  host.wideTitle = u"星野ミナト - 夜明けの駅";  // composed in UTF-8, marked
  const char* wide = ComposeTick(FakeQuery, format, &composer, true, " (paused)");
  long after = Allocations();

  EXPECT_EQ(0, after - before);
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, unchanged);
  EXPECT_NE(nullptr, moved);
  EXPECT_NE(nullptr, changed);
  EXPECT_NE(nullptr, wide);
}

TEST(Allocation, AFailedAllocationKeepsTheTemplate) {
  PluginSettings settings = {};
  ResetSettings(&settings);
  const unsigned char bytes[] = {'n', 'e', 'w', 0x03, 0x00, 0x02, 0x00, 0x05, 0x01, 0x00};
  {
    HeapExhausted exhausted;
    ParseSettingsBytes(bytes, sizeof bytes, &settings);
    EXPECT_FALSE(ReplaceStatusFormat("other", &settings));
  }
  ASSERT_NE(nullptr, settings.statusFormat);
  EXPECT_STREQ(kDefaultStatusFormat, settings.statusFormat);
  EXPECT_EQ(0, settings.enabled);  // the setting bytes still load
  EXPECT_EQ(5, settings.intervalSeconds);
  FreeSettings(&settings);
}

#else
TEST(Allocation, NotCountedUnderThisAllocator) { GTEST_SKIP() << "needs glibc without a sanitizer allocator"; }
#endif

}  // namespace
