// The settings record, its defaults and its file bytes (portable: no Win32).
#include "settings/plugin_settings.h"

#include <stdlib.h>
#include <string.h>

#include "platform/text.h"

const char kDefaultStatusFormat[] = "$A - $T ($D) $P";

constexpr uint8_t kDefaultIntervalSeconds = 1;

constexpr unsigned char kEndOfText = 0x03;

// Where the first byte of that value is among size bytes, or size when none
// is. (The DLL imports no memchr for the three uses.)
static size_t FindByte(const unsigned char* bytes, size_t size, unsigned char value) {
  size_t at = 0;
  while (at < size && bytes[at] != value) ++at;
  return at;
}
constexpr size_t kSettingBytes = 5;  // enabled, statusIcon, headphonesIcon, intervalSeconds, utf8Text

static char* CopyBytes(const char* bytes, size_t length) {
  char* text = static_cast<char*>(malloc(length + 1));
  if (text == nullptr) return nullptr;
  memcpy(text, bytes, length);
  text[length] = '\0';
  return text;
}

// Takes ownership of text when it is not null. On an allocation failure the
// previous text stays, so the template never goes missing once it was set.
static bool StoreStatusFormat(char* text, PluginSettings* settings) {
  if (text == nullptr) return false;
  free(settings->statusFormat);
  settings->statusFormat = text;
  return true;
}

// The one place the defaults are written. Every field not named is 0: no
// status icon, no UTF-8, the status kept when not playing, nothing hidden, a
// new song shown at once. (A record of the defaults would carry its empty
// word list in the DLL's file.)
void ResetSettings(PluginSettings* settings) {
  char* format = settings->statusFormat;
  memset(settings, 0, sizeof *settings);
  settings->statusFormat = format;
  StoreStatusFormat(CopyBytes(kDefaultStatusFormat, strlen(kDefaultStatusFormat)), settings);
  settings->enabled = 1;
  settings->headphonesIcon = 1;
  settings->intervalSeconds = kDefaultIntervalSeconds;
}

bool ReplaceStatusFormat(const char* text, PluginSettings* settings) {
  if (text == nullptr) text = "";
  return StoreStatusFormat(CopyBytes(text, strlen(text)), settings);
}

void FreeSettings(PluginSettings* settings) {
  free(settings->statusFormat);
  settings->statusFormat = nullptr;
}

bool IsControlCharacter(char byte) {
  const unsigned char unit = static_cast<unsigned char>(byte);
  return (unit < 0x20 && unit != '\r' && unit != '\n' && unit != '\t') || unit == 0x7F;
}

size_t RemoveControlCharacters(char* text) {
  if (text == nullptr) return 0;
  char* kept = text;
  const char* at = text;
  for (; *at != '\0'; ++at)
    if (!IsControlCharacter(*at)) *kept++ = *at;
  *kept = '\0';
  return static_cast<size_t>(at - kept);
}

// A longer list (only a file we did not write holds one) loses its end: the
// last word kept may be cut short, never split inside a character.
void ReplaceHiddenPathWords(const char* words, PluginSettings* settings) {
  size_t length = words != nullptr ? FitText(words, kHiddenPathWordsSize - 1) : 0;
  if (length > 0) memmove(settings->hiddenPathWords, words, length);
  settings->hiddenPathWords[length] = '\0';
}

static bool HasPrivacyDefaults(const PluginSettings& settings) {
  return settings.hideFlags == 0 && settings.newSongDelaySeconds == 0 && settings.hiddenPathWords[0] == '\0';
}

// Only a file this system did not write can hold other values. Flags become
// 0 or 1, an unknown icon becomes none, and an interval the dialog cannot
// enter becomes the default (a byte of 200 must never turn into a negative
// or 200-second period).
static void ClampSettingBytes(PluginSettings* settings) {
  settings->enabled = settings->enabled != 0;
  settings->headphonesIcon = settings->headphonesIcon != 0;
  settings->utf8Text = settings->utf8Text != 0;
  if (settings->statusIcon > kStatusIconIdle) settings->statusIcon = kStatusIconNone;
  if (settings->intervalSeconds > kMaxIntervalSeconds) settings->intervalSeconds = kDefaultIntervalSeconds;
  if (settings->whenNotPlaying > kClearStatus) settings->whenNotPlaying = kKeepStatus;
  // A flag this version does not know may mean anything: none is trusted.
  if ((settings->hideFlags & ~kKnownHideFlags) != 0) settings->hideFlags = 0;
  if (settings->newSongDelaySeconds > kMaxNewSongDelaySeconds) settings->newSongDelaySeconds = 0;
}

// The privacy settings from the bytes after whenNotPlaying: the flags, the
// delay, and the words up to their 0x00. Words without it are damaged
// (the file was cut short): none, rather than a list that lost its end.
static void ParsePrivacyBytes(const unsigned char* bytes, size_t size, PluginSettings* settings) {
  if (size >= 1) settings->hideFlags = bytes[0];
  if (size >= 2) settings->newSongDelaySeconds = bytes[1];
  if (size <= 2 || FindByte(bytes + 2, size - 2, 0x00) == size - 2) return;
  ReplaceHiddenPathWords(reinterpret_cast<const char*>(bytes + 2), settings);
}

// Template bytes up to the first 0x03, then the five setting bytes, the 0x00,
// whenNotPlaying and the privacy settings. Without a 0x03 in the bytes read,
// nothing in them can be trusted: all defaults. A setting byte past the end
// keeps its default.
void ParseSettingsBytes(const unsigned char* bytes, size_t size, PluginSettings* settings) {
  ResetSettings(settings);
  if (bytes == nullptr) return;
  if (size > kSettingsReadSize) size = kSettingsReadSize;
  const size_t textLength = FindByte(bytes, size, kEndOfText);
  if (textLength == size) return;
  StoreStatusFormat(CopyBytes(reinterpret_cast<const char*>(bytes), textLength), settings);

  uint8_t* fields[kSettingBytes] = {&settings->enabled, &settings->statusIcon, &settings->headphonesIcon,
                                    &settings->intervalSeconds, &settings->utf8Text};
  for (size_t i = 0; i < kSettingBytes; ++i) {
    size_t at = textLength + 1 + i;
    if (at >= size) break;
    *fields[i] = bytes[at];
  }
  // Only after the record's closing 0x00: where a template held a 0x03 of its
  // own, the bytes read as settings are the template's, and they end in none.
  size_t closingZeroAt = textLength + 1 + kSettingBytes;
  if (closingZeroAt + 1 < size && bytes[closingZeroAt] == 0x00) {
    settings->whenNotPlaying = bytes[closingZeroAt + 1];
    size_t privacyAt = closingZeroAt + 2;
    ParsePrivacyBytes(bytes + privacyAt, size - privacyAt, settings);
  }
  ClampSettingBytes(settings);
}

void ReadSettings(FILE* file, PluginSettings* settings) {
  unsigned char bytes[kSettingsReadSize];
  size_t size = file != nullptr ? fread(bytes, 1, sizeof bytes, file) : 0;
  ParseSettingsBytes(bytes, size, settings);
}

bool WriteSettings(const PluginSettings& settings, FILE* file) {
  if (file == nullptr) return false;
  const char* format = settings.statusFormat != nullptr ? settings.statusFormat : "";
  size_t length = strlen(format);
  const unsigned char tail[] = {kEndOfText,         settings.enabled,   settings.statusIcon, settings.headphonesIcon,
                                settings.intervalSeconds, settings.utf8Text, 0x00};
  if (fwrite(format, 1, length, file) != length) return false;
  if (fwrite(tail, 1, sizeof tail, file) != sizeof tail) return false;
  const bool privacyDefaults = HasPrivacyDefaults(settings);
  if (settings.whenNotPlaying == kKeepStatus && privacyDefaults) return true;
  const unsigned char more[] = {settings.whenNotPlaying, settings.hideFlags, settings.newSongDelaySeconds};
  const size_t moreSize = privacyDefaults ? 1 : sizeof more;
  if (fwrite(more, 1, moreSize, file) != moreSize) return false;
  if (privacyDefaults) return true;
  // The words never run past their array, even in a record that lost its zero.
  const size_t wordsLength =
      FindByte(reinterpret_cast<const unsigned char*>(settings.hiddenPathWords), kHiddenPathWordsSize - 1, 0x00);
  return fwrite(settings.hiddenPathWords, 1, wordsLength, file) == wordsLength && fwrite("", 1, 1, file) == 1;
}

// Where the file name starts in a path: after its last separator.
static size_t FileNameStart(const char* path) {
  ptrdiff_t backslash = FindLastChar(path, '\\');
  ptrdiff_t slash = FindLastChar(path, '/');
  return static_cast<size_t>((backslash > slash ? backslash : slash) + 1);
}

// The path is searched character by character: in a double-byte code page a
// trail byte can be 0x5C, which is not a separator. Only the file name's
// extension changes, so a dot in a folder name is left alone, and a name
// without one gets ".ini" added.
bool SettingsPathFromModulePath(const char* modulePath, char* path, size_t pathSize) {
  if (path == nullptr || pathSize == 0) return false;
  path[0] = '\0';
  if (modulePath == nullptr) return false;

  size_t nameStart = FileNameStart(modulePath);
  ptrdiff_t dot = FindLastChar(modulePath + nameStart, '.');

  size_t keep;
  const char* suffix;
  if (dot >= 0) {
    keep = nameStart + static_cast<size_t>(dot) + 1;
    suffix = "ini";
  } else {
    keep = strlen(modulePath);
    suffix = ".ini";
  }
  size_t suffixLength = strlen(suffix);
  if (keep + suffixLength >= pathSize) return false;
  memcpy(path, modulePath, keep);
  memcpy(path + keep, suffix, suffixLength + 1);
  return true;
}

bool PerUserSettingsPath(const char* folder, const char* modulePath, char* path, size_t pathSize) {
  if (path == nullptr || pathSize == 0) return false;
  path[0] = '\0';
  if (folder == nullptr || folder[0] == '\0' || modulePath == nullptr) return false;
  const char* fileName = modulePath + FileNameStart(modulePath);
  char fileNameIni[kSettingsPathSize];
  if (!SettingsPathFromModulePath(fileName, fileNameIni, sizeof fileNameIni)) return false;

  size_t folderLength = strlen(folder);
  bool endsInSeparator = FindLastChar(folder, '\\') == static_cast<ptrdiff_t>(folderLength) - 1;
  const char* middle = endsInSeparator ? "Plugins\\" : "\\Plugins\\";
  size_t middleLength = strlen(middle);
  size_t nameLength = strlen(fileNameIni);
  if (folderLength + middleLength + nameLength >= pathSize) return false;
  memcpy(path, folder, folderLength);
  memcpy(path + folderLength, middle, middleLength);
  memcpy(path + folderLength + middleLength, fileNameIni, nameLength + 1);
  return true;
}
