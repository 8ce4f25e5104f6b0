// The character-walking algorithms behind the text services, written once.
// Each implementation supplies NextChar: the start of the character after the
// one at p (p + 1 at a single-byte character or at a lead byte whose trail is
// the terminating zero; never past the zero).
#pragma once

#include <stddef.h>
#include <string.h>

namespace textwalk {

typedef const char* (*NextCharFn)(const char* p);

template <NextCharFn NextChar>
ptrdiff_t FindText(const char* text, const char* needle) {
  if (text == nullptr || needle == nullptr) return -1;
  size_t needleLength = strlen(needle);
  if (needleLength == 0) return 0;
  // Only character starts are tried, so a match never begins on a trail byte.
  for (const char* p = text; *p != '\0'; p = NextChar(p)) {
    if (*p == *needle && strncmp(p, needle, needleLength) == 0) return p - text;
  }
  return -1;
}

template <NextCharFn NextChar>
ptrdiff_t FindLastChar(const char* text, char c) {
  if (text == nullptr || c == '\0') return -1;
  ptrdiff_t last = -1;
  for (const char* p = text; *p != '\0';) {
    const char* next = NextChar(p);
    if (next == p + 1 && *p == c) last = p - text;
    p = next;
  }
  return last;
}

// Reads at most text[0..maxBytes], so text need not end within maxBytes + 1
// bytes: the expansion uses this to cut a half that is full to its last byte.
template <NextCharFn NextChar>
size_t FitText(const char* text, size_t maxBytes) {
  if (text == nullptr) return 0;
  size_t fit = 0;
  while (fit < maxBytes && text[fit] != '\0') {
    size_t next = static_cast<size_t>(NextChar(text + fit) - text);
    if (next > maxBytes) break;
    fit = next;
  }
  return fit;
}

}  // namespace textwalk
