// The one settings record and its file bytes. The file is binary despite its
// "ini" extension: the template, 0x03, five setting bytes, 0x00, and then
// whenNotPlaying as one more byte only when it is not kKeepStatus, followed
// by the privacy settings (hideFlags, newSongDelaySeconds, hiddenPathWords
// and its 0x00) only when one of them is not its default. So a file with the
// defaults is byte for byte what earlier versions wrote, and they ignore the
// extra bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum StatusIcon : uint8_t { kStatusIconNone = 0, kStatusIconBusy = 1, kStatusIconIdle = 2 };
// What the status does while playback is paused or stopped.
enum WhenNotPlaying : uint8_t {
  kKeepStatus = 0,   // stays as it is
  kMarkStatus = 1,   // " (paused)" or " (stopped)" is appended
  kClearStatus = 2,  // the messenger gets the closing command once; nothing is published until playback resumes
};
// What is never published, as bits of hideFlags.
enum HideFlags : uint8_t {
  kHideStreams = 1,  // a file name with "://" (not an audio CD's "cda://")
  kHideVideos = 2,   // while the host says it plays video
};
constexpr uint8_t kKnownHideFlags = kHideStreams | kHideVideos;
constexpr uint8_t kMaxNewSongDelaySeconds = 99;
// ANSI words separated by ";", at most 255 bytes and the zero: a fixed array,
// so the record stays a plain value to copy.
constexpr size_t kHiddenPathWordsSize = 256;

struct PluginSettings {
  char* statusFormat;  // heap text owned by the record (malloc/free); never null once loaded,
                       // unless the heap is exhausted at the very first load (read as "")
  uint8_t enabled;
  uint8_t statusIcon;
  uint8_t headphonesIcon;
  uint8_t intervalSeconds;
  uint8_t utf8Text;
  uint8_t whenNotPlaying;  // WhenNotPlaying; in the file only when not kKeepStatus or before the three below
  uint8_t hideFlags;            // HideFlags
  uint8_t newSongDelaySeconds;  // a new entry is published once it has been current this long; 0 to 99
  char hiddenPathWords[kHiddenPathWordsSize];  // always zero-terminated
};

extern const char kDefaultStatusFormat[];  // "$A - $T ($D) $P"
constexpr uint8_t kMaxIntervalSeconds = 99;
// Loading reads at most this many bytes: room for the longest template the
// dialog takes (255 characters, up to 510 bytes in a double-byte code page)
// and every setting byte after it, the longest word list and its zero included.
constexpr size_t kSettingsReadSize = 1024;
constexpr size_t kSettingsPathSize = 260;

// Frees statusFormat and sets every field to its default.
void ResetSettings(PluginSettings* settings);
// Frees statusFormat and sets it to a copy of text. Returns false (text left
// as before) when the copy cannot be allocated.
bool ReplaceStatusFormat(const char* text, PluginSettings* settings);
void FreeSettings(PluginSettings* settings);
// The control characters a template must not hold: all but CR, LF and Tab
// (the file ends the template at 0x03, and the bytes after it would be read
// as the settings). None of these bytes is part of a double-byte character,
// so a byte scan never splits one.
bool IsControlCharacter(char byte);
// Removes them from text, in place. Returns how many bytes went; null is none.
size_t RemoveControlCharacters(char* text);
// Sets hiddenPathWords to as much of words as fits (255 bytes), cut between
// two characters of the ANSI code page. Null gives no words.
void ReplaceHiddenPathWords(const char* words, PluginSettings* settings);

// Fills settings from a file's first bytes, with defaults where the bytes do
// not say otherwise.
void ParseSettingsBytes(const unsigned char* bytes, size_t size, PluginSettings* settings);
// Reads and parses at most kSettingsReadSize bytes from an open stream.
void ReadSettings(FILE* file, PluginSettings* settings);
// Writes the file layout to an open stream. Returns false if a write failed.
bool WriteSettings(const PluginSettings& settings, FILE* file);

// The settings file's path for a module path: the extension after the last
// "." of the file name becomes "ini". Returns false when it does not fit.
bool SettingsPathFromModulePath(const char* modulePath, char* path, size_t pathSize);
// The per-user settings file in the host's settings folder:
// <folder>\Plugins\<the module's file name, extension "ini">. Returns false
// when it does not fit pathSize.
bool PerUserSettingsPath(const char* folder, const char* modulePath, char* path, size_t pathSize);
