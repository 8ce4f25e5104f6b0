// The settings file both ways against a reference layout. Any bytes load as
// the reference reads them (the template up to the first 0x03 of the first
// 1024 bytes, then the setting bytes, each clamped into its range, the rest
// only after the closing 0x00: whenNotPlaying, the hide flags, the delay and
// the words up to their 0x00, cut to 255 bytes between characters), from
// memory and from a stream alike. And a record as the dialog can set it (a
// template of up to 255 characters of the code page, words of up to 255
// bytes, any setting bytes) loses the template's control characters but CR,
// LF and Tab, is written as exactly the layout's bytes and loads back.
//
// Input: the file's bytes, in the code page the last byte picks (its value
// mod 3: 1252, 932, 936). The record is made of them too: bytes 0-5 are its
// setting bytes (enabled, statusIcon, headphonesIcon, intervalSeconds,
// utf8Text, whenNotPlaying), the rest up to the first 0x01, less its 0x00
// bytes, its template; after that 0x01 come hideFlags,
// newSongDelaySeconds and the words (less their 0x00 bytes).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/text_portable.h"
#include "reference.h"
#include "settings/plugin_settings.h"

namespace {

using ref::Check;

constexpr int kFields = 8;
struct Record {
  std::string format;
  // enabled, statusIcon, headphonesIcon, intervalSeconds, utf8Text, whenNotPlaying, hideFlags, newSongDelaySeconds
  uint8_t bytes[kFields];
  std::string words;
};

const Record kDefaults = {"$A - $T ($D) $P", {1, 0, 1, 1, 0, 0, 0, 0}, ""};

// Flags are 0 or 1; an unknown icon is none, an interval or a delay the
// dialog cannot enter the default, an unknown manner "keep", hide flags with
// a bit beyond the two known ones none.
uint8_t Clamped(int field, uint8_t byte) {
  static const uint8_t kLargest[kFields] = {1, 2, 1, 99, 1, 2, 3, 99};
  if (byte <= kLargest[field]) return byte;
  return field == 0 || field == 2 || field == 4 ? 1 : kDefaults.bytes[field];
}

Record Load(unsigned codePage, const std::string& file) {
  const std::string read = file.substr(0, 1024);
  Record record = kDefaults;
  const size_t end = read.find('\x03');
  if (end == std::string::npos) return record;
  record.format = read.substr(0, end).c_str();
  for (size_t i = 0; i < 5 && end + 1 + i < read.size(); ++i) record.bytes[i] = read[end + 1 + i];
  if (end + 7 < read.size() && read[end + 6] == '\0') {
    const std::string rest = read.substr(end + 7);  // whenNotPlaying on
    for (size_t i = 0; i < 3 && i < rest.size(); ++i) record.bytes[5 + i] = rest[i];
    const size_t wordsEnd = rest.size() > 3 ? rest.find('\0', 3) : std::string::npos;
    if (wordsEnd != std::string::npos) record.words = ref::Fit(codePage, rest.substr(3, wordsEnd - 3), 255);
  }
  for (int i = 0; i < kFields; ++i) record.bytes[i] = Clamped(i, record.bytes[i]);
  return record;
}

bool Equal(const PluginSettings& settings, const Record& record) {
  const uint8_t bytes[kFields] = {settings.enabled,   settings.statusIcon,     settings.headphonesIcon,
                                  settings.intervalSeconds, settings.utf8Text, settings.whenNotPlaying,
                                  settings.hideFlags, settings.newSongDelaySeconds};
  const size_t wordsLength = strnlen(settings.hiddenPathWords, sizeof settings.hiddenPathWords);
  return settings.statusFormat != nullptr && settings.statusFormat == record.format &&
         memcmp(bytes, record.bytes, sizeof bytes) == 0 && wordsLength < sizeof settings.hiddenPathWords &&
         std::string(settings.hiddenPathWords, wordsLength) == record.words;
}

void CheckLoads(const std::string& file, const Record& expected) {
  // An exact-size heap copy, so ASan sees any read past the bytes.
  unsigned char* bytes = static_cast<unsigned char*>(malloc(file.size()));
  memcpy(bytes, file.data(), file.size());
  PluginSettings parsed = {};
  ParseSettingsBytes(bytes, file.size(), &parsed);
  Check(Equal(parsed, expected));
  FreeSettings(&parsed);

  FILE* stream = file.empty() ? nullptr : fmemopen(bytes, file.size(), "rb");
  PluginSettings read = {};
  ReadSettings(stream, &read);
  if (stream != nullptr) fclose(stream);
  Check(Equal(read, expected));
  FreeSettings(&read);
  free(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned codePage = ref::PickCodePage(size > 0 ? data[size - 1] : 0);
  SetModelCodePage(codePage);
  const std::string file(reinterpret_cast<const char*>(data), size);
  CheckLoads(file, Load(codePage, file));

  Record record = {};
  for (size_t i = 0; i < 6 && i < size; ++i) record.bytes[i] = data[i];
  std::string format, words;
  size_t at = 6;
  for (; at < size && data[at] != 0x01; ++at)
    if (data[at] != 0x00) format += static_cast<char>(data[at]);
  if (at < size) {  // the 0x01: the privacy settings follow
    ++at;
    for (int i = 6; i < kFields && at < size; ++i) record.bytes[i] = data[at++];
    for (; at < size; ++at)
      if (data[at] != 0x00) words += static_cast<char>(data[at]);
  }
  const std::vector<size_t> starts = ref::Starts(codePage, format);
  record.format = format.substr(0, starts[starts.size() > 256 ? 255 : starts.size() - 1]);
  std::string kept;
  for (char c : record.format)
    if ((static_cast<unsigned char>(c) >= 0x20 || c == '\r' || c == '\n' || c == '\t') && c != 0x7F) kept += c;
  std::string cleaned(record.format);
  Check(RemoveControlCharacters(&cleaned[0]) == record.format.size() - kept.size() && cleaned.c_str() == kept);
  record.format = kept;
  record.words = ref::Fit(codePage, words, 255);

  PluginSettings settings = {const_cast<char*>(record.format.c_str()), record.bytes[0], record.bytes[1],
                             record.bytes[2], record.bytes[3], record.bytes[4], record.bytes[5],
                             record.bytes[6], record.bytes[7], {}};
  memcpy(settings.hiddenPathWords, record.words.c_str(), record.words.size() + 1);
  char* saved = nullptr;
  size_t savedSize = 0;
  FILE* out = open_memstream(&saved, &savedSize);
  Check(out != nullptr && WriteSettings(settings, out));
  fclose(out);
  std::string layout = record.format + '\x03' + std::string(reinterpret_cast<char*>(record.bytes), 5) + '\0';
  if (record.bytes[6] != 0 || record.bytes[7] != 0 || !record.words.empty())
    layout += std::string(reinterpret_cast<char*>(record.bytes + 5), 3) + record.words + '\0';
  else if (record.bytes[5] != 0)
    layout += static_cast<char>(record.bytes[5]);
  Check(std::string(saved, savedSize) == layout);
  free(saved);

  for (int i = 0; i < kFields; ++i) record.bytes[i] = Clamped(i, record.bytes[i]);
  CheckLoads(layout, record);
  return 0;
}
