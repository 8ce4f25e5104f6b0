// The settings file beside the module: this test program stands in for the
// plug-in module, so the file is "<this program's path without .exe>.ini".
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "host/lifecycle.h"
#include "host/plugin_descriptor.h"
#include "settings/settings_file.h"

namespace {

std::string ExpectedPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length);
  return text.substr(0, text.rfind('.')) + ".ini";
}

std::string ReadAll(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "(missing)";
  char bytes[1024];
  size_t size = fread(bytes, 1, sizeof bytes, file);
  fclose(file);
  return std::string(bytes, size);
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ExpectedPath();
    DeleteFileA(path_.c_str());
    g_descriptor.moduleInstance = GetModuleHandleA(nullptr);
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    g_descriptor.moduleInstance = nullptr;
    FreeSettings(&g_module.settings);
  }
  std::string path_;
};

TEST_F(SettingsFileTest, DefaultsWhenThereIsNoFile) {
  ReplaceStatusFormat("left over", &g_module.settings);
  LoadSettings();
  const PluginSettings& settings = g_module.settings;
  ASSERT_NE(nullptr, settings.statusFormat);
  EXPECT_STREQ("$A - $T ($D) $P", settings.statusFormat);
  EXPECT_EQ(1, settings.enabled);
  EXPECT_EQ(0, settings.statusIcon);
  EXPECT_EQ(1, settings.headphonesIcon);
  EXPECT_EQ(1, settings.intervalSeconds);
  EXPECT_EQ(0, settings.utf8Text);
}

TEST_F(SettingsFileTest, SavingTheDefaultsWritesTwentyTwoBytes) {
  ResetSettings(&g_module.settings);
  SaveSettings();
  EXPECT_EQ(std::string("$A - $T ($D) $P\x03\x01\x00\x01\x01\x00\x00", 22), ReadAll(path_));
}

TEST_F(SettingsFileTest, SavedSettingsLoadBack) {
  ResetSettings(&g_module.settings);
  ReplaceStatusFormat("Line one\r\nLine two $P", &g_module.settings);
  g_module.settings.enabled = 0;
  g_module.settings.statusIcon = kStatusIconIdle;
  g_module.settings.headphonesIcon = 0;
  g_module.settings.intervalSeconds = 7;
  g_module.settings.utf8Text = 1;
  SaveSettings();

  ResetSettings(&g_module.settings);
  LoadSettings();
  const PluginSettings& settings = g_module.settings;
  EXPECT_STREQ("Line one\r\nLine two $P", settings.statusFormat);
  EXPECT_EQ(0, settings.enabled);
  EXPECT_EQ(kStatusIconIdle, settings.statusIcon);
  EXPECT_EQ(0, settings.headphonesIcon);
  EXPECT_EQ(7, settings.intervalSeconds);
  EXPECT_EQ(1, settings.utf8Text);
}

TEST_F(SettingsFileTest, OpensTheFileBesideTheModule) {
  FILE* file = OpenSettingsFile("wb");
  ASSERT_NE(nullptr, file);
  fclose(file);
  EXPECT_EQ("", ReadAll(path_));
}

// Without the module instance, GetModuleFileNameA would name the host's
// program, whose .ini is the host's own configuration.
TEST_F(SettingsFileTest, NoFileWithoutTheModuleInstance) {
  g_descriptor.moduleInstance = nullptr;
  EXPECT_EQ(nullptr, OpenSettingsFile("wb"));
  ResetSettings(&g_module.settings);
  SaveSettings();
  EXPECT_EQ("(missing)", ReadAll(path_));
}

}  // namespace
