// Text services the portable core needs. Texts are zero-terminated 8-bit
// strings in the ANSI code page, which comes from the operating system: two
// implementations exist, text_win32.cpp (the plug-in) and text_portable.cpp
// (native tests, which model a Western and two double-byte code pages). UTF-8
// needs nothing of the system (text_utf8.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Byte offset of the first occurrence of needle in text that starts on a
// character boundary of the ANSI code page, or -1. An empty needle matches at 0.
ptrdiff_t FindText(const char* text, const char* needle);

// Byte offset of the last character equal to the single-byte character c
// (never a trail byte of a double-byte character), or -1.
ptrdiff_t FindLastChar(const char* text, char c);

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

// What a composed text's bytes are: the ANSI code page, or UTF-8 (when the
// host gives titles as wide text).
enum class TextEncoding : unsigned char { kAnsi, kUtf8 };

// FindText and FitText for a text in either encoding. In UTF-8 a needle of
// whole characters never matches inside a character, so the search is a byte
// search.
ptrdiff_t FindTextIn(TextEncoding encoding, const char* text, const char* needle);
size_t FitTextIn(TextEncoding encoding, const char* text, size_t maxBytes);

// Texts are equal when their bytes are, in every encoding. The user's
// language rules (lstrcmpA) would call "Straße" and "Strasse", or a title with
// and without a soft hyphen, the same, and a change would go unseen.
inline bool SameText(const char* a, const char* b) { return strcmp(a, b) == 0; }

// Largest prefix length of a UTF-8 text, at most maxBytes, that does not end
// inside a multibyte character; reads at most text[0..maxBytes].
size_t FitUtf8(const char* text, size_t maxBytes);

// Converts a zero-terminated UTF-16 text to UTF-8 into out (outSize bytes, at
// least 1): as many whole characters as fit, then the zero byte. Unpaired
// surrogates become U+FFFD. Reads no further than the characters it converts
// and the unit after them. Returns the length written.
size_t Utf16ToUtf8(const uint16_t* text, char* out, size_t outSize);
