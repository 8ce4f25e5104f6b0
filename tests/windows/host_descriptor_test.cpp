// The descriptor as the host sees it: read from the real gen_Tavrin.dll
// beside this program through its one export.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/plugin_descriptor.h"

namespace {

std::wstring SiblingPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path, length);
  return text.substr(0, text.find_last_of(L"\\/") + 1) + name;
}

TEST(Descriptor, ReadThroughTheExport) {
  HMODULE module = LoadLibraryW(SiblingPath(L"gen_Tavrin.dll").c_str());
  ASSERT_NE(nullptr, module) << "error " << GetLastError();
  FARPROC entry = GetProcAddress(module, "winampGetGeneralPurposePlugin");
  ASSERT_NE(nullptr, entry);
  // The host knows the entry's type only from the contract; void(*)() is the
  // type every function pointer converts through cleanly.
  auto getDescriptor = reinterpret_cast<PluginDescriptor* (*)()>(reinterpret_cast<void (*)()>(entry));
  const PluginDescriptor* descriptor = getDescriptor();
  ASSERT_NE(nullptr, descriptor);
  EXPECT_EQ(0x10, descriptor->version);
  EXPECT_STREQ("Tavrin v0.2", descriptor->description);
  EXPECT_NE(nullptr, descriptor->start);
  EXPECT_NE(nullptr, descriptor->configure);
  EXPECT_NE(nullptr, descriptor->stop);
  EXPECT_EQ(nullptr, descriptor->hostWindow);
  EXPECT_EQ(nullptr, descriptor->moduleInstance);
  EXPECT_EQ(descriptor, getDescriptor());  // one static record
  FreeLibrary(module);
}

}  // namespace
