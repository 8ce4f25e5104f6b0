// The text services on Windows, in whatever ANSI code page the system has.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace {

std::string Hex(const char* bytes) {
  std::string hex;
  char digits[4];
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p != 0; ++p) {
    snprintf(digits, sizeof digits, "%02X ", *p);
    hex += digits;
  }
  return hex;
}

TEST(WindowsText, ConvertsTheWesternCodePageToUtf8) {
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  struct Case {
    const char* text;
    const char* utf8;
  } const cases[] = {
      {"A - B", "A - B"},
      {"\xE9", "\xC3\xA9"},
      {"\x80", "\xE2\x82\xAC"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"\x85\x99\x9F", "\xE2\x80\xA6\xE2\x84\xA2\xC5\xB8"},
  };
  for (const Case& c : cases) {
    char out[32];
    EXPECT_EQ(static_cast<int>(strlen(c.utf8)), AnsiToUtf8(c.text, out, sizeof out)) << Hex(c.text);
    EXPECT_EQ(Hex(c.utf8), Hex(out)) << Hex(c.text);
  }
}

TEST(WindowsText, ConversionNeverWritesPastTheBuffer) {
  const char* text = "\xE9\xE9";  // four bytes of UTF-8 in 1252; more in other code pages
  for (size_t outSize : {size_t{1}, size_t{3}, size_t{4}}) {
    unsigned char out[8];
    memset(out, 0xCD, sizeof out);
    EXPECT_EQ(-1, AnsiToUtf8(text, reinterpret_cast<char*>(out), outSize)) << outSize;
    EXPECT_EQ(0, out[0]) << outSize;
    for (size_t i = outSize; i < sizeof out; ++i) EXPECT_EQ(0xCD, out[i]) << outSize << " at " << i;
  }
  std::string tooLong(2000, 'a');  // longer than the conversion's stack buffer
  char out[4096];
  EXPECT_EQ(-1, AnsiToUtf8(tooLong.c_str(), out, sizeof out));
}

TEST(WindowsText, SearchesAndCutsAtCharacterBoundaries) {
  EXPECT_EQ(3, FindText("abc$A", "$A"));
  EXPECT_EQ(4, FindLastChar("C:\\a\\b", '\\'));
  EXPECT_EQ(3u, FitText("abcdef", 3));
  if (IsDBCSLeadByte(0x81)) {
    EXPECT_EQ(-1, FindText("\x81$A", "$A"));
    EXPECT_EQ(2u, FitText("\x82\xA0\x82\xA0", 3));
  } else {
    EXPECT_EQ(1, FindText("\x81$A", "$A"));
    EXPECT_EQ(3u, FitText("\x82\xA0\x82\xA0", 3));
  }
}

}  // namespace
