// The messenger record: its exact bytes, its groups, UTF-8, and its bound.
#include "messenger/status_record.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "core_test_support.h"

namespace {

const std::string kSep = "\xC0\x80";
const std::string kIconIdle = kSep + "47" + kSep + "2";
const std::string kHeadphones = kSep + "184" + kSep + "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0" + kSep + "187" + kSep + "2";

// A record buffer between canary bytes that no build may touch.
struct GuardedRecord : Guarded<char[kStatusRecordSize]> {
  char* bytes = value;

  // Builds into the buffer; returns the record, or "<-1>".
  std::string Build(const std::string& text, RecordOptions options) {
    int length = BuildStatusRecord(text.c_str(), options, bytes, kStatusRecordSize);
    if (length < 0) return "<-1>";
    EXPECT_EQ(static_cast<size_t>(length), strlen(bytes)) << "the length must stop at the zero byte";
    return std::string(bytes, static_cast<size_t>(length));
  }
};

class StatusRecordTest : public ::testing::Test {
 protected:
  CodePageScope western{1252};
};

struct LayoutCase {
  const char* what;
  std::string text;
  RecordOptions options;  // utf8Text, statusIcon, headphonesIcon
  std::string expected;
};

TEST_F(StatusRecordTest, Layouts) {
  const LayoutCase cases[] = {
      {"defaults: text and headphones", "A - B", {0, 0, 1}, "A - B" + kHeadphones},
      {"idle icon without headphones", "A - B", {0, 2, 0}, "A - B" + kIconIdle},
      {"busy icon", "x", {0, 1, 0}, "x" + kSep + "47" + kSep + "1"},
      {"icon group comes before headphones", "A", {0, 2, 1}, "A" + kIconIdle + kHeadphones},
      {"no groups", "A - B", {0, 0, 0}, "A - B"},
      {"empty text keeps the groups", "", {0, 2, 1}, kIconIdle + kHeadphones},
      {"an icon byte beyond 2 is written in decimal", "t", {0, 255, 0}, "t" + kSep + "47" + kSep + "255"},
      {"Western bytes stay as they are without UTF-8", "caf\xE9", {0, 0, 0}, "caf\xE9"},
      {"UTF-8: e acute", "caf\xE9", {1, 0, 0}, "caf\xC3\xA9"},
      {"UTF-8: euro sign from 0x80", "\x80", {1, 2, 0}, "\xE2\x82\xAC" + kIconIdle},
  };
  for (const LayoutCase& c : cases) {
    GuardedRecord record;
    std::string built = record.Build(c.text, c.options);
    EXPECT_EQ(Hex(c.expected), Hex(built)) << c.what;
    EXPECT_TRUE(record.CanariesIntact()) << c.what;
  }
}

TEST_F(StatusRecordTest, DefaultRecordIsExactlyTheseBytes) {
  const unsigned char expected[] = {
      'A', ' ', '-', ' ', 'B', 0xC0, 0x80, '1', '8', '4', 0xC0, 0x80, 'Y', 'S', 'T', 'A', 'T', 'U', 'S', '=', '2', 9,
      'u', 9, '0', 9, 's', 9, '0', 9, 'p', 9, '1', 9, 'm', 9, '5', '9', 9, 'd', 9, '0', 0xC0, 0x80, '1', '8', '7',
      0xC0, 0x80, '2', 0};
  GuardedRecord record;
  int length = BuildStatusRecord("A - B", RecordOptions{0, 0, 1}, record.bytes, kStatusRecordSize);
  ASSERT_EQ(static_cast<int>(sizeof expected) - 1, length);
  EXPECT_EQ(0, memcmp(expected, record.bytes, sizeof expected));
  EXPECT_EQ(45u, kHeadphones.size());
  EXPECT_EQ(7u, kIconIdle.size());
}

// An overlong text gives way to the groups, which always arrive whole, and
// nothing is written past the buffer.
TEST_F(StatusRecordTest, OverlongTextIsShortenedSoTheGroupsFit) {
  const std::string groups = kIconIdle + kHeadphones;
  const size_t budget = kStatusRecordSize - 1 - groups.size();  // 247 text bytes

  GuardedRecord ansi;
  std::string built = ansi.Build(std::string(1000, 'x'), RecordOptions{0, 2, 1});
  EXPECT_EQ(std::string(budget, 'x') + groups, built);
  EXPECT_TRUE(ansi.CanariesIntact());

  // Two UTF-8 bytes per 'é': the cut falls between characters, never inside one.
  GuardedRecord twoByte;
  built = twoByte.Build(std::string(400, '\xE9'), RecordOptions{1, 2, 1});
  std::string text = built.substr(0, built.size() - groups.size());
  EXPECT_EQ(budget / 2 * 2, text.size());
  for (size_t i = 0; i + 1 < text.size(); i += 2) ASSERT_EQ("\xC3\xA9", text.substr(i, 2)) << "at " << i;
  EXPECT_EQ(groups, built.substr(text.size()));
  EXPECT_TRUE(twoByte.CanariesIntact());

  // Three UTF-8 bytes per euro sign, behind one ASCII byte so the budget is not a multiple of three.
  GuardedRecord threeByte;
  built = threeByte.Build("a" + std::string(200, '\x80'), RecordOptions{1, 0, 1});
  const size_t headphonesBudget = kStatusRecordSize - 1 - kHeadphones.size();  // 254
  text = built.substr(0, built.size() - kHeadphones.size());
  EXPECT_EQ(1 + (headphonesBudget - 1) / 3 * 3, text.size());
  EXPECT_EQ(kHeadphones, built.substr(text.size()));
  EXPECT_TRUE(threeByte.CanariesIntact());
}

TEST_F(StatusRecordTest, TextExactlyFillingTheBufferIsKeptWhole) {
  const std::string text(kStatusRecordSize - 1 - kHeadphones.size(), 'y');
  GuardedRecord record;
  EXPECT_EQ(text + kHeadphones, record.Build(text, RecordOptions{0, 0, 1}));
  EXPECT_EQ(kStatusRecordSize - 1, strlen(record.bytes));
  EXPECT_TRUE(record.CanariesIntact());
}

TEST_F(StatusRecordTest, DoubleByteCharacterIsNeverSplit) {
  CodePageScope doubleByte(932);
  // Two ASCII bytes, then two-byte characters: the budget of 299 bytes ends
  // on the lead byte of one, which must go with its trail.
  const std::string text = "ab" + std::string(400, '\x82');  // 0x82 0x82 pairs
  GuardedRecord record;
  std::string built = record.Build(text, RecordOptions{0, 0, 0});
  EXPECT_EQ(Hex(text.substr(0, kStatusRecordSize - 2)), Hex(built));
  EXPECT_TRUE(record.CanariesIntact());
}

// The separator's two bytes inside the text would split the record (or add a
// group of the text's choosing): the character holding the 0x80 becomes '?'.
TEST_F(StatusRecordTest, TextNeverHoldsTheSeparator) {
  struct Case {
    unsigned codePage;
    const char* what;
    std::string text;
    RecordOptions options;
    std::string expected;
  };
  const Case cases[] = {
      {1252, "A grave and euro (1251's A and Dje are the same bytes)", "x\xC0\x80y", {0, 0, 0}, "x\xC0?y"},
      {936, "one double-byte character", "x\xC0\x80y", {0, 0, 0}, "x?y"},
      {936, "a character ending in 0xC0, then 0x80", "\x81\xC0\x80", {0, 0, 0}, "\x81\xC0?"},
      {1252, "a group in a stream title", "A" + kSep + "47" + kSep + "1", {0, 0, 1}, "A\xC0?47\xC0?1" + kHeadphones},
      {1252, "UTF-8 cannot hold the pair", "\xC0\x80", {1, 0, 0}, "\xC3\x80\xE2\x82\xAC"},
  };
  for (const Case& c : cases) {
    CodePageScope codePage(c.codePage);
    GuardedRecord record;
    EXPECT_EQ(Hex(c.expected), Hex(record.Build(c.text, c.options))) << c.what;
    EXPECT_TRUE(record.CanariesIntact()) << c.what;
  }
}

TEST_F(StatusRecordTest, BuffersTooSmallForTheGroupsGiveNoRecord) {
  char small[48];
  memset(small, 0xCC, sizeof small);
  // 45 bytes of headphones and the zero byte need 46.
  EXPECT_EQ(-1, BuildStatusRecord("text", RecordOptions{0, 0, 1}, small, 45));
  EXPECT_EQ('\0', small[0]);
  for (size_t i = 45; i < sizeof small; ++i) EXPECT_EQ('\xCC', small[i]) << "at " << i;
  EXPECT_EQ(45, BuildStatusRecord("text", RecordOptions{0, 0, 1}, small, 46));
  EXPECT_EQ(kHeadphones, std::string(small));
  EXPECT_EQ(-1, BuildStatusRecord(nullptr, RecordOptions{0, 0, 1}, small, sizeof small));
  EXPECT_EQ(-1, BuildStatusRecord("text", RecordOptions{0, 0, 0}, small, 0));
}

}  // namespace
