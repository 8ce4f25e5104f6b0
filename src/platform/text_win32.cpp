// Text services of the plug-in: the ANSI code page of the running system.
#include "platform/text.h"

#include <windows.h>

#include <limits.h>

#include "platform/text_walk.h"

// CharNextA knows the system's lead bytes (and treats a lead byte before the
// terminating zero as one character). It returns its argument at the zero.
static const char* NextChar(const char* p) {
  const char* next = CharNextA(p);
  if (*p != '\0' && next <= p) return p + 1;
  return next;
}

ptrdiff_t FindText(const char* text, const char* needle) { return textwalk::FindText<NextChar>(text, needle); }

ptrdiff_t FindLastChar(const char* text, char c) { return textwalk::FindLastChar<NextChar>(text, c); }

size_t CharSize(const char* text) { return static_cast<size_t>(NextChar(text) - text); }

size_t FitText(const char* text, size_t maxBytes) { return textwalk::FitText<NextChar>(text, maxBytes); }

// The texts converted are status texts (at most a few hundred bytes), so the
// UTF-16 step uses a fixed stack buffer rather than the heap; a longer text
// fails the conversion.
constexpr int kWideChars = 1024;

int AnsiToUtf8(const char* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return -1;
  out[0] = '\0';
  if (text == nullptr) return -1;
  WCHAR wide[kWideChars];
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kWideChars);
  if (wideLength <= 0) return -1;
  int outLimit = outSize > INT_MAX ? INT_MAX : static_cast<int>(outSize);
  int written = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, out, outLimit, nullptr, nullptr);
  if (written <= 0) {
    out[0] = '\0';
    return -1;
  }
  return written - 1;  // the zero byte was converted too
}
