// Arbitrary module paths and host folders into the two settings paths,
// against a reference read in characters of the code page: the file name's
// extension (after its last one-byte '.', the name starting after the last
// one-byte '\' or '/') becomes "ini", or ".ini" is added; the per-user file is
// <folder>\Plugins\<that name>, with no second backslash after a folder that
// ends in one. A path that does not fit gives none, and nothing crosses the
// buffer. The folder comes as the host answers it, copied into a buffer of
// kSettingsPathSize: one of that many bytes or more is no folder.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936); byte 1 the
// buffer's size (0: 260, else the byte less one); then the module path and
// the folder, each to a zero byte. Without a folder text the host answers 0.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/host_text.h"
#include "platform/text_portable.h"
#include "reference.h"
#include "settings/plugin_settings.h"

namespace {

const std::string kNone = "(none)";

// Offset of the last one-byte character that is one of chars, or npos.
size_t LastOf(unsigned codePage, const std::string& text, const char* chars) {
  size_t last = std::string::npos;
  const std::vector<size_t> starts = ref::Starts(codePage, text);
  for (size_t i = 0; i + 1 < starts.size(); ++i)
    if (starts[i + 1] - starts[i] == 1 && strchr(chars, text[starts[i]]) != nullptr) last = starts[i];
  return last;
}

std::string FileName(unsigned codePage, const std::string& path) {
  size_t separator = LastOf(codePage, path, "\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string WithIni(unsigned codePage, const std::string& path) {
  std::string name = FileName(codePage, path);
  size_t dot = LastOf(codePage, name, ".");
  std::string directory = path.substr(0, path.size() - name.size());
  return dot == std::string::npos ? path + ".ini" : directory + name.substr(0, dot) + ".ini";
}

std::string PerUser(unsigned codePage, const std::string* folder, const std::string& modulePath) {
  if (folder == nullptr || folder->empty() || folder->size() >= kSettingsPathSize) return kNone;
  std::string name = WithIni(codePage, FileName(codePage, modulePath));
  if (name.size() >= kSettingsPathSize) return kNone;
  bool endsInBackslash = LastOf(codePage, *folder, "\\") == folder->size() - 1;
  return *folder + (endsInBackslash ? "" : "\\") + "Plugins\\" + name;
}

void CheckPath(bool fits, const char* path, size_t size, const std::string& expected) {
  bool expectFits = expected != kNone && expected.size() < size;
  ref::Check(fits == expectFits);
  if (size > 0) ref::Check(path == (expectFits ? expected : ""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const unsigned codePage = ref::PickCodePage(input.Byte());
  SetModelCodePage(codePage);
  const uint8_t sizeByte = input.Byte();
  const size_t pathSize = sizeByte == 0 ? kSettingsPathSize : sizeByte - 1u;
  std::string modulePath;
  std::string folder;
  input.Text(&modulePath);
  const bool hasFolder = input.Text(&folder);

  // Exactly pathSize bytes on the heap, so ASan sees any access past them.
  char* path = static_cast<char*>(malloc(pathSize));
  bool fits = SettingsPathFromModulePath(modulePath.c_str(), path, pathSize);
  CheckPath(fits, path, pathSize, WithIni(codePage, modulePath));

  // The host's answer and the copy: exact sizes too.
  char* answered = hasFolder ? static_cast<char*>(malloc(folder.size() + 1)) : nullptr;
  if (answered != nullptr) memcpy(answered, folder.c_str(), folder.size() + 1);
  char* hostFolder = static_cast<char*>(malloc(kSettingsPathSize));
  const bool copied = CopyHostText(reinterpret_cast<intptr_t>(answered), hostFolder, kSettingsPathSize);
  ref::Check(copied == (hasFolder && folder.size() < kSettingsPathSize));
  ref::Check(hostFolder == (copied ? folder : ""));
  fits = PerUserSettingsPath(hostFolder, modulePath.c_str(), path, pathSize);
  CheckPath(fits, path, pathSize, PerUser(codePage, hasFolder ? &folder : nullptr, modulePath));
  free(hostFolder);
  free(answered);
  free(path);
  return 0;
}
