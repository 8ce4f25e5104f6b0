// Arbitrary settings file bytes: parsing never reads past them and yields a
// record in range; reading the same bytes from a stream gives the same record;
// saving that record and loading it back gives it again.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "settings/plugin_settings.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

void CheckInRange(const PluginSettings& settings) {
  Check(settings.statusFormat != nullptr);
  Check(strlen(settings.statusFormat) < kSettingsReadSize);
  Check(strchr(settings.statusFormat, 0x03) == nullptr);
  Check(settings.enabled <= 1 && settings.headphonesIcon <= 1 && settings.utf8Text <= 1);
  Check(settings.statusIcon <= kStatusIconIdle);
  Check(settings.intervalSeconds <= kMaxIntervalSeconds);
  Check(settings.whenNotPlaying <= kClearStatus);
}

bool SameBytes(const PluginSettings& a, const PluginSettings& b) {
  return a.enabled == b.enabled && a.statusIcon == b.statusIcon && a.headphonesIcon == b.headphonesIcon &&
         a.intervalSeconds == b.intervalSeconds && a.utf8Text == b.utf8Text && a.whenNotPlaying == b.whenNotPlaying;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy, so ASan sees any read past the bytes.
  unsigned char* bytes = static_cast<unsigned char*>(malloc(size == 0 ? 1 : size));
  memcpy(bytes, data, size);
  PluginSettings parsed = {};
  ParseSettingsBytes(bytes, size, &parsed);
  CheckInRange(parsed);

  FILE* in = size > 0 ? fmemopen(bytes, size, "rb") : nullptr;
  PluginSettings read = {};
  ReadSettings(in, &read);
  if (in != nullptr) fclose(in);
  Check(strcmp(parsed.statusFormat, read.statusFormat) == 0 && SameBytes(parsed, read));
  free(bytes);

  char* saved = nullptr;
  size_t savedSize = 0;
  FILE* out = open_memstream(&saved, &savedSize);
  Check(out != nullptr);
  Check(WriteSettings(parsed, out));
  fclose(out);
  size_t length = strlen(parsed.statusFormat);
  Check(savedSize == length + 7 + (parsed.whenNotPlaying != 0));

  PluginSettings loaded = {};
  ParseSettingsBytes(reinterpret_cast<const unsigned char*>(saved), savedSize, &loaded);
  Check(strcmp(parsed.statusFormat, loaded.statusFormat) == 0);
  // Every setting byte falls inside the bytes read.
  if (savedSize <= kSettingsReadSize) Check(SameBytes(parsed, loaded));
  free(saved);

  FreeSettings(&parsed);
  FreeSettings(&read);
  FreeSettings(&loaded);
  return 0;
}
