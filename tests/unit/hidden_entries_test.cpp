// The rules that hide an entry: a stream by its file name, and a path with
// one of the user's words, character by character in the modelled code pages.
#include "composer/hidden_entries.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

// Each name is checked as ANSI and, widened unit by unit, as UTF-16.
TEST(HiddenEntries, StreamsAreNamesWithASchemeButNotAudioCdTracks) {
  const struct {
    const char* fileName;
    bool stream;
  } cases[] = {
      {"http://radio.example/live", true},
      {"uvox://x", true},
      {"C:\\Music\\1.mp3", false},
      {"cda://D,3", false},
      {"CDA://d,3", false},
      {"CdA://", false},
      {"cda:/x://y", true},  // not an audio CD's name, and a scheme later on
      {"x cda://y", true},
      {"http:/x", false},
      {"//:", false},
      {":/", false},
      {"", false},
  };
  for (const auto& c : cases) {
    std::u16string wide(c.fileName, c.fileName + strlen(c.fileName));
    EXPECT_EQ(c.stream, IsHiddenStream(c.fileName)) << c.fileName;
    EXPECT_EQ(c.stream, IsHiddenStream(reinterpret_cast<const uint16_t*>(wide.c_str()))) << c.fileName;
  }
  EXPECT_FALSE(IsHiddenStream(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(IsHiddenStream(static_cast<const uint16_t*>(nullptr)));
}

struct WordCase {
  unsigned codePage;
  const char* path;
  const char* words;
  bool hidden;
};

TEST(HiddenEntries, PathWordsMatchWholeCharactersAsciiCaseBlind) {
  const WordCase cases[] = {
      {1252, "C:\\Audiobooks\\a.mp3", "Audiobooks;Private", true},
      {1252, "D:\\PRIVATE\\b.mp3", " Audiobooks ; private ", true},
      {1252, "C:\\Music\\a.mp3", "Audiobooks;Private", false},
      {1252, "C:\\My Music\\a.mp3", "my music", true},
      {1252, "C:\\MyMusic\\a.mp3", "my music", false},
      {1252, "C:\\Music\\a.mp3", "Music;", true},
      {1252, "C:\\Musi", "Music", false},
      // An empty word never hides everything.
      {1252, "C:\\Music\\a.mp3", "", false},
      {1252, "C:\\Music\\a.mp3", " ;; ; ", false},
      // Only ASCII letters fold.
      {1252, "C:\\\xC9mile\\a.mp3", "\xE9mile", false},
      {1252, "C:\\\xC9mile\\a.mp3", "\xC9MILE", true},
      // 0x83 0x41 is one character in 932: its trail byte "A" starts no match
      // and is compared exactly.
      {932, "C:\\\x83\x41\\a", "a\\", false},
      {1252, "C:\\\x83\x41\\a", "a\\", true},
      {932, "C:\\\x83\x61\\a", "\x83\x41", false},
      {932, "C:\\\x83\x41\\a", "\x83\x41", true},
      {932, "C:\\x\x82\x82\xA0", "\x82\xA0", false},
      // A lead byte alone at the end of the words is not the start of the
      // path's double-byte character.
      {932, "A\x82\xA0", "A\x82", false},
      {1252, "A\x82\xA0", "A\x82", true},
      // 0x81 ";" is one character in 936: the ";" is no separator.
      {936, "D:\\Private\\a", "\x81;Private", false},
      {936, "D:\\\x81;Private\\a", "\x81;Private", true},
      {1252, "D:\\Private\\a", "\x81;Private", true},
  };
  for (const WordCase& c : cases) {
    CodePageScope codePage(c.codePage);
    EXPECT_EQ(c.hidden, PathHasHiddenWord(c.path, c.words))
        << "code page " << c.codePage << ", path " << Hex(c.path) << ", words " << Hex(c.words);
  }
  EXPECT_FALSE(PathHasHiddenWord(nullptr, "a"));
  EXPECT_FALSE(PathHasHiddenWord("a", nullptr));
}

}  // namespace
