// The settings files on Windows itself: this test program stands in for the
// plug-in module, so the file beside it is "<this program's path without
// .exe>.ini", and a folder of the test's own stands in for the host's
// settings folder. A file cannot be written where a folder of its name
// stands, which is how the tests make a place unwritable (root under Wine
// writes anywhere else).
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

std::string ReadAll(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "(missing)";
  char bytes[1024];
  size_t size = fread(bytes, 1, sizeof bytes, file);
  fclose(file);
  return std::string(bytes, size);
}

void WriteAll(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file) << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

const std::string kDefaultBytes("$A - $T ($D) $P\x03\x01\x00\x01\x01\x00\x00", 22);

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ModulePath();
    beside_ = module_.substr(0, module_.rfind('.')) + ".ini";
    hostFolder_ = module_.substr(0, module_.rfind('\\')) + "\\settings-file-test-host";
    plugins_ = hostFolder_ + "\\Plugins";
    perUser_ = plugins_ + "\\" + beside_.substr(beside_.rfind('\\') + 1);
    CleanUp();
    CreateDirectoryA(hostFolder_.c_str(), nullptr);
    FindSettingsLocations(module_.c_str(), hostFolder_.c_str(), &locations_);
  }
  void TearDown() override {
    CleanUp();
    FreeSettings(&settings_);
  }
  void CleanUp() {
    SetFileAttributesA(perUser_.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(beside_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((plugins_ + "\\gen_Tavrin.ini").c_str());
    DeleteFileA(beside_.c_str());
    RemoveDirectoryA(beside_.c_str());
    DeleteFileA(perUser_.c_str());
    RemoveDirectoryA(perUser_.c_str());
    // Wine's ReplaceFileA leaves the name it took for the old file (rf*.tmp)
    // when that file is held open.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((plugins_ + "\\rf*.tmp").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
      DeleteFileA((plugins_ + "\\" + found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryA(plugins_.c_str());
    DeleteFileA(plugins_.c_str());
    RemoveDirectoryA(hostFolder_.c_str());
  }
  std::string Loaded() {
    LoadSettingsFile(locations_, &settings_);
    return settings_.statusFormat != nullptr ? settings_.statusFormat : "(null)";
  }

  std::string module_, beside_, hostFolder_, plugins_, perUser_;
  SettingsLocations locations_ = {};
  PluginSettings settings_ = {};
};

TEST_F(SettingsFileTest, TheTwoLocations) {
  EXPECT_EQ(beside_, locations_.besidePlugin);
  EXPECT_EQ(perUser_, locations_.perUser);
  SettingsLocations none;
  FindSettingsLocations(module_.c_str(), nullptr, &none);
  EXPECT_STREQ("", none.perUser);
  FindSettingsLocations(nullptr, hostFolder_.c_str(), &none);
  EXPECT_STREQ("", none.besidePlugin);
  EXPECT_STREQ("", none.perUser);
}

TEST_F(SettingsFileTest, DefaultsWhenThereIsNoFile) {
  ReplaceStatusFormat("left over", &settings_);
  EXPECT_EQ("$A - $T ($D) $P", Loaded());
  EXPECT_EQ(1, settings_.enabled);
  EXPECT_EQ(0, settings_.statusIcon);
  EXPECT_EQ(1, settings_.headphonesIcon);
  EXPECT_EQ(1, settings_.intervalSeconds);
  EXPECT_EQ(0, settings_.utf8Text);
  EXPECT_EQ(0, settings_.whenNotPlaying);
}

TEST_F(SettingsFileTest, SavesBesideThePluginAndLoadsBack) {
  ResetSettings(&settings_);
  SaveReport report = SaveSettingsFile(locations_, settings_);
  EXPECT_TRUE(report.saved);
  EXPECT_EQ(kDefaultBytes, ReadAll(beside_));
  EXPECT_EQ("(missing)", ReadAll(perUser_));

  ReplaceStatusFormat("Line one\r\nLine two $P", &settings_);
  settings_.enabled = 0;
  settings_.statusIcon = kStatusIconIdle;
  settings_.headphonesIcon = 0;
  settings_.intervalSeconds = 7;
  settings_.utf8Text = 1;
  settings_.whenNotPlaying = kClearStatus;
  settings_.hideFlags = kHideStreams | kHideVideos;
  settings_.newSongDelaySeconds = 99;
  ReplaceHiddenPathWords("Audiobooks; Private", &settings_);
  EXPECT_TRUE(SaveSettingsFile(locations_, settings_).saved);
  ResetSettings(&settings_);
  EXPECT_EQ("Line one\r\nLine two $P", Loaded());
  EXPECT_EQ(0, settings_.enabled);
  EXPECT_EQ(kStatusIconIdle, settings_.statusIcon);
  EXPECT_EQ(0, settings_.headphonesIcon);
  EXPECT_EQ(7, settings_.intervalSeconds);
  EXPECT_EQ(1, settings_.utf8Text);
  EXPECT_EQ(kClearStatus, settings_.whenNotPlaying);
  EXPECT_EQ(kHideStreams | kHideVideos, settings_.hideFlags);
  EXPECT_EQ(99, settings_.newSongDelaySeconds);
  EXPECT_STREQ("Audiobooks; Private", settings_.hiddenPathWords);
}

// An unwritable plug-in folder sends the settings to the per-user file, in a
// Plugins folder made for it, and that file wins at the next load. Once the
// plug-in's folder takes them again, the per-user file goes, so it can never
// shadow the newer one.
TEST_F(SettingsFileTest, PerUserFileWhileThePluginFolderIsNotWritableThenBack) {
  ASSERT_TRUE(CreateDirectoryA(beside_.c_str(), nullptr));
  ResetSettings(&settings_);
  ReplaceStatusFormat("per user", &settings_);
  SaveReport report = SaveSettingsFile(locations_, settings_);
  EXPECT_TRUE(report.saved);
  EXPECT_NE(0u, report.besideError);
  EXPECT_EQ(std::string("per user\x03\x01\x00\x01\x01\x00\x00", 15), ReadAll(perUser_));
  ASSERT_TRUE(RemoveDirectoryA(beside_.c_str()));
  WriteAll(beside_, std::string("stale\x03\x01\x00\x01\x01\x00\x00", 12));
  EXPECT_EQ("per user", Loaded());

  ReplaceStatusFormat("beside again", &settings_);
  EXPECT_TRUE(SaveSettingsFile(locations_, settings_).saved);
  EXPECT_EQ("(missing)", ReadAll(perUser_));
  EXPECT_EQ("beside again", Loaded());
}

// What the user set on the file stays through a Save: a hidden system file
// is still one.
TEST_F(SettingsFileTest, ASaveKeepsTheFilesAttributes) {
  const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  WriteAll(beside_, kDefaultBytes);
  ASSERT_TRUE(SetFileAttributesA(beside_.c_str(), set));
  ReplaceStatusFormat("hidden", &settings_);
  EXPECT_TRUE(SaveSettingsFile(locations_, settings_).saved);
  EXPECT_EQ("hidden", Loaded());
  const DWORD attributes = GetFileAttributesA(beside_.c_str());
  EXPECT_EQ(set, attributes & set) << std::hex << attributes;
}

// Neither place takes them: reported, with the system's reason for each.
TEST_F(SettingsFileTest, NeitherWritableIsReported) {
  ASSERT_TRUE(CreateDirectoryA(beside_.c_str(), nullptr));
  WriteAll(plugins_, "a file where the Plugins folder would be");
  ResetSettings(&settings_);
  SaveReport report = SaveSettingsFile(locations_, settings_);
  EXPECT_FALSE(report.saved);
  EXPECT_NE(0u, report.besideError);
  EXPECT_NE(0u, report.perUserError);

  // Without a host folder there is nowhere else to try.
  SettingsLocations besideOnly;
  FindSettingsLocations(module_.c_str(), nullptr, &besideOnly);
  report = SaveSettingsFile(besideOnly, settings_);
  EXPECT_FALSE(report.saved);
  EXPECT_EQ(0u, report.perUserError);
}

// In the usual installation the host's settings folder is the player's own,
// whose Plugins folder holds the plug-in: both paths name one file, however
// the host spells the folder, and Save keeps it.
TEST_F(SettingsFileTest, OneFileUnderTwoNamesIsKept) {
  ASSERT_TRUE(CreateDirectoryA(plugins_.c_str(), nullptr));
  char shortName[MAX_PATH] = "";
  ASSERT_NE(0u, GetShortPathNameA(hostFolder_.c_str(), shortName, MAX_PATH));
  std::string upper = hostFolder_;
  CharUpperA(&upper[0]);
  for (const std::string& folder : {hostFolder_, upper, hostFolder_ + "\\", hostFolder_ + "\\Plugins\\..",
                                    std::string(shortName)}) {
    FindSettingsLocations((plugins_ + "\\gen_Tavrin.dll").c_str(), folder.c_str(), &locations_);
    ReplaceStatusFormat(folder.c_str(), &settings_);
    EXPECT_TRUE(SaveSettingsFile(locations_, settings_).saved) << folder;
    EXPECT_EQ(folder, Loaded());
  }
}

// A per-user file that cannot be removed (held open by another program, or
// read-only) never shadows a Save reported as done: what Save reports is what
// the next start loads.
TEST_F(SettingsFileTest, AnOlderPerUserFileNeverShadowsASave) {
  ASSERT_TRUE(CreateDirectoryA(plugins_.c_str(), nullptr));
  for (bool readOnly : {false, true}) {
    WriteAll(perUser_, std::string("older\x03\x01\x00\x01\x01\x00\x00", 12));
    SetFileAttributesA(perUser_.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    HANDLE held = readOnly ? INVALID_HANDLE_VALUE
                           : CreateFileA(perUser_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    ReplaceStatusFormat("newer", &settings_);
    const SaveReport report = SaveSettingsFile(locations_, settings_);
    EXPECT_EQ(report.saved, Loaded() == "newer") << "read-only " << readOnly;
    EXPECT_EQ(report.saved, report.perUserError == 0) << "read-only " << readOnly;
    EXPECT_FALSE(readOnly && report.saved) << "a read-only file is the user's word";
    CloseHandle(held);
    SetFileAttributesA(perUser_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A Save that fails halfway (on a full disk: the small file system the test
// command mounts, see small-disk.sh) leaves the previous settings byte for
// byte, and no temporary file behind.
TEST_F(SettingsFileTest, ASaveOnAFullDiskKeepsThePreviousFile) {
  const char* disk = getenv("TAVRIN_SMALL_DISK");
  ULARGE_INTEGER size = {};
  if (disk == nullptr || !GetDiskFreeSpaceExA(disk, nullptr, &size, nullptr) || size.QuadPart > (1u << 20))
    GTEST_SKIP() << "no small file system to fill (TAVRIN_SMALL_DISK)";
  const std::string folder = disk;
  FindSettingsLocations((folder + "\\gen_Tavrin.dll").c_str(), nullptr, &locations_);
  WriteAll(locations_.besidePlugin, kDefaultBytes);
  WriteAll(folder + "\\filler", std::string(size.QuadPart, 'f'));  // as much as fits
  ReplaceStatusFormat(std::string(12000, 'x').c_str(), &settings_);
  EXPECT_FALSE(SaveSettingsFile(locations_, settings_).saved);
  EXPECT_EQ(kDefaultBytes, ReadAll(locations_.besidePlugin));
  EXPECT_EQ("(missing)", ReadAll(folder + "\\gen_Tavrin.tmp"));
  DeleteFileA((folder + "\\filler").c_str());
  DeleteFileA(locations_.besidePlugin);
}

}  // namespace
