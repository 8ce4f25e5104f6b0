// Portable text services for the native build. They model the ANSI code page
// of a Windows machine: 1252 (Western, single-byte) by default, or 932 or 936
// as double-byte code pages, so the tests can check character boundaries.
#include "platform/text.h"

#include <stdint.h>
#include <string.h>

#include "platform/text_portable.h"
#include "platform/text_walk.h"
#include "platform/utf8.h"

static unsigned g_codePage = 1252;

bool SetModelCodePage(unsigned codePage) {
  if (codePage != 1252 && codePage != 932 && codePage != 936) return false;
  g_codePage = codePage;
  return true;
}

unsigned ModelCodePage() { return g_codePage; }

static bool IsLeadByte(unsigned char byte) {
  if (g_codePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  if (g_codePage == 936) return byte >= 0x81 && byte <= 0xFE;
  return false;
}

// As CharNextA: a lead byte followed by the terminating zero is one character.
static const char* NextChar(const char* p) {
  if (*p == '\0') return p;
  if (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') return p + 2;
  return p + 1;
}

ptrdiff_t FindText(const char* text, const char* needle) { return textwalk::FindText<NextChar>(text, needle); }

ptrdiff_t FindLastChar(const char* text, char c) { return textwalk::FindLastChar<NextChar>(text, c); }

size_t CharSize(const char* text) { return static_cast<size_t>(NextChar(text) - text); }

size_t FitText(const char* text, size_t maxBytes) { return textwalk::FitText<NextChar>(text, maxBytes); }

// Code page 1252 bytes 0x80-0x9F; the rest of 1252 equals Unicode. The five
// bytes 1252 leaves undefined map to the C1 controls of the same value, as
// Windows converts them.
static const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The model of 932 knows ASCII and the half-width katakana (0xA1-0xDF), that
// of 936 only ASCII; any other character, double-byte ones included, becomes
// U+FFFD. The tests need these two for their character boundaries.
static uint32_t DecodeChar(const char* p) {
  unsigned char byte = static_cast<unsigned char>(*p);
  if (byte < 0x80) return byte;
  if (g_codePage == 932) {
    if (byte >= 0xA1 && byte <= 0xDF) return 0xFF61 + (byte - 0xA1);
    return 0xFFFD;
  }
  if (g_codePage == 936) return 0xFFFD;
  if (byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

int AnsiToUtf8(const char* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return -1;
  out[0] = '\0';
  if (text == nullptr) return -1;
  size_t length = 0;
  for (const char* p = text; *p != '\0'; p = NextChar(p)) {
    char encoded[4];
    size_t n = utf8::Encode(DecodeChar(p), encoded);
    if (length + n >= outSize || length + n > INT32_MAX) {
      out[0] = '\0';
      return -1;
    }
    memcpy(out + length, encoded, n);
    length += n;
  }
  out[length] = '\0';
  return static_cast<int>(length);
}
