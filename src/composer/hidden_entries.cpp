// What keeps an entry from being published (portable: no Win32).
#include "composer/hidden_entries.h"

#include <stddef.h>
#include <stdint.h>

#include "platform/text.h"

template <typename Unit>
static Unit AsciiLower(Unit unit) {
  return unit >= 'A' && unit <= 'Z' ? static_cast<Unit>(unit - 'A' + 'a') : unit;
}

// prefix is lower-case ASCII; the text's zero ends the comparison as a mismatch.
template <typename Unit>
static bool StartsWithAscii(const Unit* text, const char* prefix) {
  for (; *prefix != '\0'; ++prefix, ++text) {
    if (AsciiLower(*text) != static_cast<Unit>(*prefix)) return false;
  }
  return true;
}

// ':' and '/' are never trail bytes of a double-byte character, so a search
// unit by unit finds only whole characters, in ANSI as in UTF-16.
template <typename Unit>
bool IsStream(const Unit* fileName) {
  if (fileName == nullptr) return false;
  if (StartsWithAscii(fileName, "cda://")) return false;
  for (const Unit* p = fileName; *p != 0; ++p) {
    if (p[0] == ':' && p[1] == '/' && p[2] == '/') return true;
  }
  return false;
}

template bool IsStream<char>(const char* fileName);
template bool IsStream<uint16_t>(const uint16_t* fileName);

// The word (length bytes of whole characters) at the start of path, which is
// a character start. The bytes are compared first, so the code page is asked
// only where they agree; equal bytes can still be characters of different
// sizes (a lead byte alone at the end of either text).
static bool WordAt(const char* path, const char* word, size_t length) {
  for (size_t at = 0; at < length;) {
    size_t size = CharSize(word + at);
    if (size == 1) {
      if (AsciiLower(path[at]) != AsciiLower(word[at])) return false;
    } else if (path[at] != word[at] || path[at + 1] != word[at + 1]) {
      return false;
    }
    if (CharSize(path + at) != size) return false;
    at += size;
  }
  return true;
}

static bool PathHasWord(const char* path, const char* word, size_t length) {
  for (const char* at = path; *at != '\0'; at += CharSize(at)) {
    if (WordAt(at, word, length)) return true;
  }
  return false;
}

// Both texts are walked by characters: a ';' or a space that is the trail
// byte of a double-byte character neither ends nor trims a word.
bool PathHasHiddenWord(const char* path, const char* words, const char** word, size_t* wordLength) {
  if (path == nullptr || words == nullptr) return false;
  const char* next = words;
  while (*next != '\0') {
    const char* first = nullptr;  // the word's first and past its last character other than a space
    const char* end = nullptr;
    const char* at = next;
    for (; *at != '\0' && *at != ';'; at += CharSize(at)) {
      if (*at == ' ') continue;
      if (first == nullptr) first = at;
      end = at + CharSize(at);
    }
    const size_t length = static_cast<size_t>(end - first);
    if (first != nullptr && PathHasWord(path, first, length)) {
      if (word != nullptr) *word = first;
      if (wordLength != nullptr) *wordLength = length;
      return true;
    }
    next = *at == ';' ? at + 1 : at;
  }
  return false;
}

bool IsAddress(const char* title) {
  for (const char* at = title; at != nullptr && *at != '\0'; ++at)
    if (at[0] == ':' && at[1] == '/' && at[2] == '/') return true;
  return false;
}
