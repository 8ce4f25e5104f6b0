// Text services the portable core needs from the operating system. Texts are
// zero-terminated 8-bit strings in the ANSI code page. Two implementations
// exist: text_win32.cpp (the plug-in) and text_portable.cpp (native tests,
// which can model a Western and a double-byte code page).
#pragma once

#include <stddef.h>

// Byte offset of the first occurrence of needle in text that starts on a
// character boundary of the ANSI code page, or -1. An empty needle matches at 0.
ptrdiff_t FindText(const char* text, const char* needle);

// Byte offset of the last character equal to the single-byte character c
// (never a trail byte of a double-byte character), or -1.
ptrdiff_t FindLastChar(const char* text, char c);

// Case-sensitive equality in the ANSI code page. Texts equal byte for byte
// are always equal.
bool TextEquals(const char* a, const char* b);

// Bytes of the character that starts at text: 1, or 2 for a double-byte
// character of the ANSI code page; 0 at the terminating zero.
size_t CharSize(const char* text);

// Largest prefix length, at most maxBytes, that ends on a character boundary
// of the ANSI code page (so a cut never splits a double-byte character).
size_t FitText(const char* text, size_t maxBytes);

// Converts text from the ANSI code page to UTF-8 into out, which holds
// outSize bytes. Returns the length written (the zero byte not counted), or
// -1 when the conversion fails or would not fit; out is then an empty text
// when outSize > 0. Never writes past out[outSize - 1].
int AnsiToUtf8(const char* text, char* out, size_t outSize);
