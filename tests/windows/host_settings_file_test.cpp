// The settings file beside the module: this test program stands in for the
// plug-in module, so the file is "<this program's path without .exe>.ini".
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "settings/settings_file.h"

namespace {

std::string ModulePath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string ExpectedPath() {
  std::string module = ModulePath();
  return module.substr(0, module.rfind('.')) + ".ini";
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
    module_ = ModulePath();
    DeleteFileA(path_.c_str());
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    FreeSettings(&settings_);
  }
  std::string path_;
  std::string module_;
  PluginSettings settings_ = {};
};

TEST_F(SettingsFileTest, DefaultsWhenThereIsNoFile) {
  ReplaceStatusFormat("left over", &settings_);
  LoadSettingsFile(module_.c_str(), &settings_);
  const PluginSettings& settings = settings_;
  ASSERT_NE(nullptr, settings.statusFormat);
  EXPECT_STREQ("$A - $T ($D) $P", settings.statusFormat);
  EXPECT_EQ(1, settings.enabled);
  EXPECT_EQ(0, settings.statusIcon);
  EXPECT_EQ(1, settings.headphonesIcon);
  EXPECT_EQ(1, settings.intervalSeconds);
  EXPECT_EQ(0, settings.utf8Text);
}

TEST_F(SettingsFileTest, SavingTheDefaultsWritesTwentyTwoBytes) {
  ResetSettings(&settings_);
  EXPECT_TRUE(SaveSettingsFile(module_.c_str(), settings_));
  EXPECT_EQ(std::string("$A - $T ($D) $P\x03\x01\x00\x01\x01\x00\x00", 22), ReadAll(path_));
}

TEST_F(SettingsFileTest, SavedSettingsLoadBack) {
  ResetSettings(&settings_);
  ReplaceStatusFormat("Line one\r\nLine two $P", &settings_);
  settings_.enabled = 0;
  settings_.statusIcon = kStatusIconIdle;
  settings_.headphonesIcon = 0;
  settings_.intervalSeconds = 7;
  settings_.utf8Text = 1;
  EXPECT_TRUE(SaveSettingsFile(module_.c_str(), settings_));

  ResetSettings(&settings_);
  LoadSettingsFile(module_.c_str(), &settings_);
  const PluginSettings& settings = settings_;
  EXPECT_STREQ("Line one\r\nLine two $P", settings.statusFormat);
  EXPECT_EQ(0, settings.enabled);
  EXPECT_EQ(kStatusIconIdle, settings.statusIcon);
  EXPECT_EQ(0, settings.headphonesIcon);
  EXPECT_EQ(7, settings.intervalSeconds);
  EXPECT_EQ(1, settings.utf8Text);
}

// A file that cannot be written is reported, not taken for saved.
TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsReported) {
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));  // a folder where the file would be
  ResetSettings(&settings_);
  EXPECT_FALSE(SaveSettingsFile(module_.c_str(), settings_));
  RemoveDirectoryA(path_.c_str());
}

}  // namespace
