// The hiding rules against a reference read in characters of the code page:
// a stream has "://" and does not start with "cda://" (ASCII letters in any
// case), in ANSI and UTF-16; a word (split at one-byte ";" characters, with
// the one-byte spaces around it dropped; empty ones ignored) hides a path it
// matches from a character start on: characters of the same size, one-byte
// ones with ASCII letters folded.
//
// Input: byte 0 the code page (mod 3: 1252, 932, 936); the path and the
// words, each to a zero byte; the rest a UTF-16 file name.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "composer/hidden_entries.h"
#include "platform/text_portable.h"
#include "reference.h"

namespace {

std::vector<std::string> Characters(unsigned codePage, const std::string& text) {
  const std::vector<size_t> starts = ref::Starts(codePage, text);
  std::vector<std::string> characters;
  for (size_t k = 0; k + 1 < starts.size(); ++k)
    characters.push_back(text.substr(starts[k], starts[k + 1] - starts[k]));
  return characters;
}

std::string Folded(std::string c) {
  if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z') c[0] = static_cast<char>(c[0] - 32);
  return c;
}

bool IsHidden(unsigned codePage, const std::string& path, const std::string& words) {
  const std::vector<std::string> characters = Characters(codePage, path);
  std::vector<std::vector<std::string>> list(1);
  for (const std::string& c : Characters(codePage, words)) {
    if (c == ";") list.emplace_back();
    else if (c != " " || !list.back().empty()) list.back().push_back(Folded(c));
  }
  for (std::vector<std::string>& word : list) {
    while (!word.empty() && word.back() == " ") word.pop_back();
    for (size_t at = 0; !word.empty() && at + word.size() <= characters.size(); ++at)
      if (std::equal(word.begin(), word.end(), characters.begin() + at,
                     [](const std::string& w, const std::string& c) { return w == Folded(c); }))
        return true;
  }
  return false;
}

// An exact-size heap copy, so ASan sees a read past the text's zero.
template <typename Unit>
Unit* HeapCopy(const std::basic_string<Unit>& text) {
  const size_t bytes = (text.size() + 1) * sizeof(Unit);
  return static_cast<Unit*>(memcpy(malloc(bytes), text.c_str(), bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const unsigned codePage = ref::PickCodePage(input.Byte());
  SetModelCodePage(codePage);
  std::string path, words;
  input.Text(&path);
  input.Text(&words);
  const std::u16string wide = input.Utf16();
  char* pathCopy = HeapCopy(path);
  char* wordsCopy = HeapCopy(words);
  char16_t* wideCopy = HeapCopy(wide);
  ref::Check(PathHasHiddenWord(pathCopy, wordsCopy) == IsHidden(codePage, path, words));
  ref::Check(IsStream(pathCopy) == ref::IsStream(path));
  ref::Check(IsStream(reinterpret_cast<const uint16_t*>(wideCopy)) == ref::IsStream(wide));
  free(pathCopy);
  free(wordsCopy);
  free(wideCopy);
  return 0;
}
