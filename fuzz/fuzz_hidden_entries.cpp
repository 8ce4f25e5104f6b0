// The hiding rules against a reference read in characters of the code page:
// a stream is a file name with "://" that does not start with "cda://" (ASCII
// letters in any case), in ANSI and in UTF-16; a path is hidden when one of
// the words (split at one-byte ";" characters, one-byte spaces around each
// dropped, empty ones ignored) matches its characters from a character start
// on, each character of the same size, one-byte ones with ASCII letters
// folded, double-byte ones exactly.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936); then the
// path and the words, each to a zero byte; the rest is a UTF-16 file name.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "composer/hidden_entries.h"
#include "platform/text_portable.h"
#include "reference.h"

namespace {

using ref::Check;

template <typename Text>
bool IsStream(const Text& name) {
  static const char kCd[] = "cda://";
  bool cd = name.size() >= 6;
  for (size_t i = 0; cd && i < 6; ++i) {
    unsigned unit = static_cast<unsigned>(name[i]) & (sizeof name[i] == 1 ? 0xFFu : 0xFFFFu);
    cd = (unit >= 'A' && unit <= 'Z' ? unit + 32 : unit) == static_cast<unsigned>(kCd[i]);
  }
  for (size_t i = 0; !cd && i + 2 < name.size(); ++i)
    if (name[i] == ':' && name[i + 1] == '/' && name[i + 2] == '/') return true;
  return false;
}

typedef std::vector<std::string> Characters;

Characters Split(unsigned codePage, const std::string& text) {
  Characters characters;
  const std::vector<size_t> starts = ref::Starts(codePage, text);
  for (size_t k = 0; k + 1 < starts.size(); ++k) characters.push_back(text.substr(starts[k], starts[k + 1] - starts[k]));
  return characters;
}

std::vector<Characters> Words(unsigned codePage, const std::string& words) {
  std::vector<Characters> list(1);
  for (const std::string& character : Split(codePage, words)) {
    if (character == ";") list.emplace_back();
    else list.back().push_back(character);
  }
  for (Characters& word : list) {
    while (!word.empty() && word.front() == " ") word.erase(word.begin());
    while (!word.empty() && word.back() == " ") word.pop_back();
  }
  return list;
}

bool SameCharacter(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  if (a.size() == 2) return a == b;
  char x = a[0] >= 'a' && a[0] <= 'z' ? static_cast<char>(a[0] - 32) : a[0];
  char y = b[0] >= 'a' && b[0] <= 'z' ? static_cast<char>(b[0] - 32) : b[0];
  return x == y;
}

bool IsHidden(unsigned codePage, const std::string& path, const std::string& words) {
  const Characters characters = Split(codePage, path);
  for (const Characters& word : Words(codePage, words)) {
    if (word.empty()) continue;
    for (size_t start = 0; start + word.size() <= characters.size(); ++start) {
      size_t k = 0;
      while (k < word.size() && SameCharacter(characters[start + k], word[k])) ++k;
      if (k == word.size()) return true;
    }
  }
  return false;
}

// An exact-size heap copy with its zero, so ASan sees a read past the text.
template <typename Unit>
Unit* HeapCopy(const std::basic_string<Unit>& text) {
  Unit* copy = static_cast<Unit*>(malloc((text.size() + 1) * sizeof(Unit)));
  memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Unit));
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const unsigned codePage = ref::PickCodePage(input.Byte());
  SetModelCodePage(codePage);
  std::string path, words;
  input.Text(&path);
  input.Text(&words);
  const std::u16string wideName = input.Utf16();

  char* pathCopy = HeapCopy(path);
  char* wordsCopy = HeapCopy(words);
  uint16_t* wideCopy = reinterpret_cast<uint16_t*>(HeapCopy(wideName));
  Check(PathHasHiddenWord(pathCopy, wordsCopy) == IsHidden(codePage, path, words));
  Check(IsHiddenStream(pathCopy) == IsStream(path));
  Check(IsHiddenStream(wideCopy) == IsStream(wideName));
  free(pathCopy);
  free(wordsCopy);
  free(wideCopy);
  return 0;
}
