// The rules that hide an entry, in the modelled code pages; the fuzz target
// checks them against a reference on any input.
#include "composer/hidden_entries.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

// Each name as ANSI and, widened unit by unit, as UTF-16.
TEST(HiddenEntries, StreamsAreNamesWithASchemeButNotAudioCdTracks) {
  const struct { const char* fileName; bool stream; } cases[] = {
      {"http://radio.example/live", true}, {"C:\\Music\\1.mp3", false}, {"cda://D,3", false},
      {"CDA://d,3", false}, {"cda:/x://y", true}, {"http:/x", false}, {"", false}};
  for (const auto& c : cases) {
    const std::u16string wide(c.fileName, c.fileName + strlen(c.fileName));
    EXPECT_EQ(c.stream, IsHiddenStream(c.fileName)) << c.fileName;
    EXPECT_EQ(c.stream, IsHiddenStream(reinterpret_cast<const uint16_t*>(wide.c_str()))) << c.fileName;
  }
  EXPECT_FALSE(IsHiddenStream(static_cast<const char*>(nullptr)));
}

TEST(HiddenEntries, PathWordsMatchWholeCharactersAsciiCaseBlind) {
  const struct { unsigned codePage; const char* path; const char* words; bool hidden; } cases[] = {
      {1252, "D:\\PRIVATE\\b.mp3", " Audiobooks ; private ", true},
      {1252, "C:\\Music\\a.mp3", "Audiobooks;Private", false},
      {1252, "C:\\My Music\\a.mp3", "my music", true},
      {1252, "C:\\Musi", "Music", false},
      {1252, "C:\\Music\\a.mp3", " ;; ; ", false},  // empty words never hide everything
      {1252, "C:\\\xC9mile\\a.mp3", "\xE9mile", false},  // only ASCII letters fold
      // In 932 0x83 0x41 is one character: its trail byte "A" starts no match
      // and is compared exactly; in 1252 they are two.
      {932, "C:\\\x83\x41\\a", "a\\", false},
      {1252, "C:\\\x83\x41\\a", "a\\", true},
      {932, "C:\\\x83\x61\\a", "\x83\x41", false},
      {932, "C:\\\x83\x41\\a", "\x83\x41", true},
      {932, "A\x82\xA0", "A\x82", false},  // a lead byte alone is not the path's whole character
      {936, "D:\\Private\\a", "\x81;Private", false},  // ";" is the trail byte of 0x81
      {1252, "D:\\Private\\a", "\x81;Private", true},
  };
  for (const auto& c : cases) {
    CodePageScope codePage(c.codePage);
    EXPECT_EQ(c.hidden, PathHasHiddenWord(c.path, c.words)) << c.codePage << " " << Hex(c.path) << "/ " << Hex(c.words);
  }
  EXPECT_FALSE(PathHasHiddenWord(nullptr, "a"));
}

}  // namespace
