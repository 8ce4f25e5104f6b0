// The portable text services: character boundaries in the modelled code
// pages, and the ANSI to UTF-8 conversion.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

struct FindCase {
  unsigned codePage;
  const char* text;
  const char* needle;
  ptrdiff_t expected;
};

TEST(FindText, MatchesOnlyAtCharacterStarts) {
  const FindCase cases[] = {
      {1252, "abc$A", "$A", 3},
      {1252, "abc", "$A", -1},
      {1252, "abc", "", 0},
      {1252, "", "$A", -1},
      {1252, "$a", "$A", -1},           // case-sensitive
      {1252, "\x81$A", "$A", 1},        // single-byte: 0x81 is a character of its own
      {932, "\x81$A", "$A", -1},        // 0x81 0x24 is one character: "$" is its trail byte
      {932, "\x81$$A", "$A", 2},        // the next "$" starts a character
      {932, "\x82\xA0$A", "$A", 2},
      {932, "\x82\xA0\x82\xA0", "\xA0\x82", -1},
      {932, "a\x82", "\x82", 1},        // a lead byte before the zero is a character
  };
  for (const FindCase& c : cases) {
    CodePageScope codePage(c.codePage);
    EXPECT_EQ(c.expected, FindText(c.text, c.needle)) << "code page " << c.codePage << ", text " << c.text;
  }
}

TEST(FindLastChar, SkipsTrailBytes) {
  const FindCase cases[] = {
      {1252, "C:\\a\\b", "\\", 4},
      {1252, "abc", "\\", -1},
      {1252, "a\x95\\", "\\", 2},
      {932, "a\x95\\", "\\", -1},        // 0x95 0x5C is one double-byte character
      {932, "a\\\x95\\b", "\\", 1},
      {932, "\x95\\\\x", "\\", 2},
  };
  for (const FindCase& c : cases) {
    CodePageScope codePage(c.codePage);
    EXPECT_EQ(c.expected, FindLastChar(c.text, c.needle[0])) << "code page " << c.codePage << ", text " << c.text;
  }
}

struct FitCase {
  unsigned codePage;
  const char* text;
  size_t maxBytes;
  size_t expected;
};

TEST(FitText, CutsOnlyBetweenCharacters) {
  const FitCase cases[] = {
      {1252, "abcdef", 3, 3},        {1252, "abc", 10, 3},      {1252, "abc", 0, 0},
      {1252, "\x82\xA0\x82", 2, 2},  {932, "\x82\xA0\x82\xA0", 3, 2},
      {932, "\x82\xA0\x82\xA0", 4, 4}, {932, "a\x82\xA0", 2, 1}, {932, "a\x82", 5, 2},
  };
  for (const FitCase& c : cases) {
    CodePageScope codePage(c.codePage);
    EXPECT_EQ(c.expected, FitText(c.text, c.maxBytes)) << "code page " << c.codePage << ", text " << c.text;
  }
}

TEST(FitText, ReadsNoFurtherThanTheByteAtMaxBytes) {
  // Not terminated: the expansion cuts a half that is full to its last byte.
  const char full[4] = {'a', 'b', '\x82', '\xA0'};
  EXPECT_EQ(3u, FitText(full, 3));
  CodePageScope codePage(932);
  EXPECT_EQ(2u, FitText(full, 3));
}

struct Utf8Case {
  unsigned codePage;
  const char* text;
  const char* expected;
};

TEST(AnsiToUtf8, ConvertsTheModelledCodePage) {
  const Utf8Case cases[] = {
      {1252, "A - B", "A - B"},
      {1252, "\xE9", "\xC3\xA9"},            // e acute
      {1252, "\x80", "\xE2\x82\xAC"},        // euro sign
      {1252, "\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined in 1252
      {1252, "\x85\x99\x9F", "\xE2\x80\xA6\xE2\x84\xA2\xC5\xB8"},
      {1252, "\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      {932, "\xB1", "\xEF\xBD\xB1"},         // half-width katakana
      {932, "a\x82\xA0z", "a\xEF\xBF\xBDz"}, // double-byte characters are not modelled
      {1252, "", ""},
  };
  for (const Utf8Case& c : cases) {
    CodePageScope codePage(c.codePage);
    char out[32];
    int length = AnsiToUtf8(c.text, out, sizeof out);
    EXPECT_EQ(static_cast<int>(strlen(c.expected)), length) << Hex(c.text);
    EXPECT_EQ(Hex(c.expected), Hex(out)) << Hex(c.text);
  }
}

TEST(AnsiToUtf8, FailsRatherThanWritingPastTheBuffer) {
  // "\xE9\xE9" needs 4 bytes and the zero.
  for (size_t outSize : {size_t{1}, size_t{3}, size_t{4}}) {
    unsigned char out[8];
    memset(out, kCanaryByte, sizeof out);
    EXPECT_EQ(-1, AnsiToUtf8("\xE9\xE9", reinterpret_cast<char*>(out), outSize)) << outSize;
    EXPECT_EQ(0, out[0]) << outSize;
    for (size_t i = outSize; i < sizeof out; ++i) EXPECT_EQ(kCanaryByte, out[i]) << outSize << " at " << i;
  }
  char out[5];
  EXPECT_EQ(4, AnsiToUtf8("\xE9\xE9", out, sizeof out));
}

}  // namespace
