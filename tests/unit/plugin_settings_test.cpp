// The settings record's file bytes, their round trips, and the settings path.
#include "settings/plugin_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

// A record that frees its template.
struct Settings {
  PluginSettings value = {};
  ~Settings() { FreeSettings(&value); }
};

void Parse(const std::string& bytes, PluginSettings* settings) {
  ParseSettingsBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), settings);
}

std::string Saved(const PluginSettings& settings) {
  FILE* file = tmpfile();
  EXPECT_NE(nullptr, file);
  EXPECT_TRUE(WriteSettings(settings, file));
  rewind(file);
  char bytes[1024];
  size_t size = fread(bytes, 1, sizeof bytes, file);
  fclose(file);
  return std::string(bytes, size);
}

// statusFormat, enabled, statusIcon, headphonesIcon, intervalSeconds, utf8Text
// (and whenNotPlaying, hideFlags, newSongDelaySeconds and hiddenPathWords when
// they are not 0).
std::string Describe(const PluginSettings& s) {
  const std::string words(s.hiddenPathWords, strnlen(s.hiddenPathWords, sizeof s.hiddenPathWords));
  return "'" + std::string(s.statusFormat != nullptr ? s.statusFormat : "(null)") + "' " +
         std::to_string(s.enabled) + std::to_string(s.statusIcon) + std::to_string(s.headphonesIcon) + " " +
         std::to_string(s.intervalSeconds) + " " + std::to_string(s.utf8Text) +
         (s.whenNotPlaying != 0 ? " when " + std::to_string(s.whenNotPlaying) : "") +
         (s.hideFlags != 0 ? " hide " + std::to_string(s.hideFlags) : "") +
         (s.newSongDelaySeconds != 0 ? " after " + std::to_string(s.newSongDelaySeconds) : "") +
         (!words.empty() ? " words '" + words + "'" : "");
}

const char kDefaultsDescribed[] = "'$A - $T ($D) $P' 101 1 0";

TEST(PluginSettings, DefaultsAreWrittenAsTheTwentyTwoBytes) {
  Settings settings;
  ResetSettings(&settings.value);
  EXPECT_EQ(kDefaultsDescribed, Describe(settings.value));
  EXPECT_EQ(Hex(std::string("$A - $T ($D) $P\x03\x01\x00\x01\x01\x00\x00", 22)), Hex(Saved(settings.value)));
}

struct ParseCase {
  const char* name;
  std::string bytes;
  std::string described;
  unsigned codePage = 1252;
};

// The record's bytes with the defaults, the closing 0x00 included.
const std::string kRecord("x\x03\x01\x00\x01\x01\x00\x00", 8);

TEST(PluginSettings, ParsesFileBytes) {
  const ParseCase cases[] = {
      {"written by the dialog", std::string("Now: $T\x03\x00\x02\x00\x05\x01\x00", 14), "'Now: $T' 020 5 1"},
      {"empty template", std::string("\x03\x01\x01\x01\x00\x00\x00", 7), "'' 111 0 0"},
      {"two lines", std::string("$A\r\n$T\x03\x01\x00\x01\x01\x00\x00", 13), "'$A\r\n$T' 101 1 0"},
      {"no final zero", std::string("x\x03\x01\x00\x01\x01\x00", 7), "'x' 101 1 0"},
      {"settings cut short", std::string("abc\x03\x00\x02", 6), "'abc' 021 1 0"},
      {"only the end of text", std::string("abc\x03", 4), "'abc' 101 1 0"},
      {"no end of text", std::string("just some text"), kDefaultsDescribed},
      {"nothing", std::string(), kDefaultsDescribed},
      {"out of range", std::string("x\x03\x07\x03\xFF\x64\x02\x00", 8), "'x' 101 1 1"},
      {"interval 200", std::string("x\x03\x01\x00\x01\xC8\x00\x00", 8), "'x' 101 1 0"},
      {"interval 99", std::string("x\x03\x01\x02\x01\x63\x00\x00", 8), "'x' 121 99 0"},
      {"interval 0", std::string("x\x03\x01\x01\x01\x00\x00\x00", 8), "'x' 111 0 0"},
      {"zero byte in the template", std::string("a\0b\x03\x01\x00\x01\x01\x00\x00", 10), "'a' 101 1 0"},
      {"marked when paused", std::string("x\x03\x01\x00\x01\x01\x00\x00\x01", 9), "'x' 101 1 0 when 1"},
      {"cleared when paused", std::string("x\x03\x01\x00\x01\x01\x00\x00\x02", 9), "'x' 101 1 0 when 2"},
      {"whenNotPlaying out of range", std::string("x\x03\x01\x00\x01\x01\x00\x00\x03", 9), "'x' 101 1 0"},
      {"whenNotPlaying and the rest after no closing zero",
       std::string("x\x03\x01\x00\x01\x01\x00\x07\x01\x01\x05w", 12) + '\0', "'x' 101 1 0"},
      {"privacy settings", kRecord + std::string("\x00\x03\x63" "Audiobooks;Private", 21) + '\0',
       "'x' 101 1 0 hide 3 after 99 words 'Audiobooks;Private'"},
      {"words without their zero", kRecord + std::string("\x02\x01\x07Private", 10),
       "'x' 101 1 0 when 2 hide 1 after 7"},
      {"flags with an unknown bit", kRecord + std::string("\x00\x05\x0Aw", 4) + '\0', "'x' 101 1 0 after 10 words 'w'"},
      {"delay over 99", kRecord + std::string("\x00\x01\x64w", 4) + '\0', "'x' 101 1 0 hide 1 words 'w'"},
      // Cut to 255 bytes, not inside the double-byte character at 254 and 255.
      {"words over 255 bytes", kRecord + std::string("\x00\x00\x00", 3) + std::string(254, 'w') + "\x82\xA0" + '\0',
       "'x' 101 1 0 words '" + std::string(254, 'w') + "'", 932},
      // The longest template the dialog takes is 510 bytes in a double-byte
      // code page: its settings, the longest word list included, must still be read.
      {"a 510-byte template", std::string(510, 't') + std::string("\x03\x00\x02\x00\x05\x01\x00\x02\x01\x05", 10) +
                                  std::string(255, 'w') + '\0',
       "'" + std::string(510, 't') + "' 020 5 1 when 2 hide 1 after 5 words '" + std::string(255, 'w') + "'"},
      // Only the first 1024 bytes are read: the setting bytes after them keep their defaults.
      {"end of text at byte 1023", std::string(1023, 't') + std::string("\x03\x00", 2),
       "'" + std::string(1023, 't') + "' 101 1 0"},
      {"end of text at byte 1024", std::string(1024, 't') + std::string("\x03\x00\x00\x00\x00\x00\x00", 7),
       kDefaultsDescribed},
  };
  for (const ParseCase& c : cases) {
    CodePageScope codePage(c.codePage);
    Settings settings;
    Parse(c.bytes, &settings.value);
    EXPECT_EQ(c.described, Describe(settings.value)) << c.name;
  }
}

TEST(PluginSettings, ASavedTemplateHoldingTheEndOfTextIsCutThere) {
  Settings saved;
  ResetSettings(&saved.value);
  ReplaceStatusFormat("ab\x03" "cd", &saved.value);
  std::string bytes = Saved(saved.value);
  EXPECT_EQ(Hex(std::string("ab\x03" "cd\x03\x01\x00\x01\x01\x00\x00", 12)), Hex(bytes));
  // The bytes after the first 0x03 are read as settings: 'c', 'd', 0x03, 0x01, 0x00.
  Settings loaded;
  Parse(bytes, &loaded.value);
  EXPECT_EQ("'ab' 101 1 0", Describe(loaded.value));
}

TEST(PluginSettings, SaveAndLoadRoundTrip) {
  // After the record's seven bytes: whenNotPlaying when it is not the
  // default, and with it the privacy settings when one of them is not.
  const struct {
    PluginSettings original;
    size_t bytesAfterRecord;
  } cases[] = {
      {{const_cast<char*>("$A - $T ($D) $P"), 1, 0, 1, 1, 0, kKeepStatus, 0, 0, ""}, 0},
      {{const_cast<char*>("Line one\r\nLine two $P"), 0, 2, 0, 99, 1, kMarkStatus, kHideStreams | kHideVideos, 99,
        "Audiobooks;Private"},
       1 + 2 + 18 + 1},
      {{const_cast<char*>(""), 1, 1, 1, 0, 0, kClearStatus, 0, 0, ""}, 1},
      {{const_cast<char*>("$A"), 1, 0, 1, 1, 0, kKeepStatus, 0, 0, " ;"}, 1 + 2 + 2 + 1},
  };
  for (const auto& c : cases) {
    const std::string bytes = Saved(c.original);
    EXPECT_EQ(strlen(c.original.statusFormat) + 7 + c.bytesAfterRecord, bytes.size()) << Hex(bytes);
    Settings loaded;
    Parse(bytes, &loaded.value);
    EXPECT_EQ(Describe(c.original), Describe(loaded.value));
  }
}

TEST(PluginSettings, ReportsAFailedWrite) {
  FILE* readOnly = fopen("/dev/null", "rb");
  ASSERT_NE(nullptr, readOnly);
  Settings settings;
  ResetSettings(&settings.value);
  EXPECT_FALSE(WriteSettings(settings.value, readOnly));
  fclose(readOnly);
  EXPECT_FALSE(WriteSettings(settings.value, nullptr));
}

struct PathCase {
  unsigned codePage;
  std::string modulePath;
  std::string expected;  // "(none)": does not fit
};

TEST(SettingsPath, ReplacesTheFileNamesExtension) {
  const PathCase cases[] = {
      {1252, "C:\\Players\\Plugins\\gen_Tavrin.dll", "C:\\Players\\Plugins\\gen_Tavrin.ini"},
      {1252, "C:\\My.Dir\\gen_Tavrin", "C:\\My.Dir\\gen_Tavrin.ini"},
      {1252, "C:/My.Dir/gen_Tavrin", "C:/My.Dir/gen_Tavrin.ini"},
      {1252, "C:\\Plugins\\gen.Tavrin.dll", "C:\\Plugins\\gen.Tavrin.ini"},
      {1252, "C:\\Plugins\\gen_Tavrin.", "C:\\Plugins\\gen_Tavrin.ini"},
      {1252, "gen_Tavrin.dll", "gen_Tavrin.ini"},
      {1252, "", ".ini"},
      // 0x95 0x5C is one character in 932; its trail byte is not a separator.
      {932, "C:\\Dir\\gen.d\x95\\x", "C:\\Dir\\gen.ini"},
      {1252, "C:\\Dir\\gen.d\x95\\x", "C:\\Dir\\gen.d\x95\\x.ini"},
      {1252, std::string(255, 'p'), std::string(255, 'p') + ".ini"},  // 259 bytes and the zero
      {1252, std::string(256, 'p'), "(none)"},
      {1252, std::string(255, 'p') + ".d", std::string(255, 'p') + ".ini"},
      {1252, std::string(256, 'p') + ".d", "(none)"},
  };
  for (const PathCase& c : cases) {
    CodePageScope codePage(c.codePage);
    unsigned char path[kSettingsPathSize + 16];
    memset(path, kCanaryByte, sizeof path);
    bool fits = SettingsPathFromModulePath(c.modulePath.c_str(), reinterpret_cast<char*>(path), kSettingsPathSize);
    EXPECT_EQ(c.expected != "(none)", fits) << c.modulePath;
    EXPECT_EQ(fits ? c.expected : "", reinterpret_cast<char*>(path)) << c.modulePath;
    for (size_t i = kSettingsPathSize; i < sizeof path; ++i) ASSERT_EQ(kCanaryByte, path[i]) << c.modulePath;
  }
}

TEST(SettingsPath, PerUserFileInTheHostsFolder) {
  const struct {
    const char* folder;
    std::string modulePath;
    std::string expected;  // "(none)": no path
  } cases[] = {
      {"C:\\Users\\me\\Winamp", "C:\\Players\\Plugins\\gen_Tavrin.dll", "C:\\Users\\me\\Winamp\\Plugins\\gen_Tavrin.ini"},
      {"C:\\Users\\me\\Winamp\\", "D:/x/gen_Tavrin.dll", "C:\\Users\\me\\Winamp\\Plugins\\gen_Tavrin.ini"},
      {"", "C:\\gen_Tavrin.dll", "(none)"},
      {nullptr, "C:\\gen_Tavrin.dll", "(none)"},
      {"C:\\W", std::string(240, 'p') + "\\gen_Tavrin.dll", "C:\\W\\Plugins\\gen_Tavrin.ini"},
      // 3 + 8 + 248 = 259 bytes fit; one more does not.
      {"C:\\", "C:\\" + std::string(244, 'n') + ".dll", "C:\\Plugins\\" + std::string(244, 'n') + ".ini"},
      {"C:\\", "C:\\" + std::string(245, 'n') + ".dll", "(none)"},
  };
  for (const auto& c : cases) {
    unsigned char path[kSettingsPathSize + 16];
    memset(path, kCanaryByte, sizeof path);
    bool fits = PerUserSettingsPath(c.folder, c.modulePath.c_str(), reinterpret_cast<char*>(path), kSettingsPathSize);
    EXPECT_EQ(c.expected != "(none)", fits) << c.modulePath;
    EXPECT_EQ(fits ? c.expected : "", reinterpret_cast<char*>(path)) << c.modulePath;
    for (size_t i = kSettingsPathSize; i < sizeof path; ++i) ASSERT_EQ(kCanaryByte, path[i]) << c.modulePath;
  }
}

}  // namespace
