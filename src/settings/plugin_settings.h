// The one settings record and its file bytes. The file is binary despite its
// "ini" extension: the template, 0x03, five setting bytes, 0x00.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum StatusIcon : uint8_t { kStatusIconNone = 0, kStatusIconBusy = 1, kStatusIconIdle = 2 };

struct PluginSettings {
  char* statusFormat;  // heap text owned by the record (malloc/free); never null once loaded,
                       // unless the heap is exhausted at the very first load (read as "")
  uint8_t enabled;
  uint8_t statusIcon;
  uint8_t headphonesIcon;
  uint8_t intervalSeconds;
  uint8_t utf8Text;
};

extern const char kDefaultStatusFormat[];  // "$A - $T ($D) $P"
constexpr uint8_t kMaxIntervalSeconds = 99;
constexpr size_t kSettingsReadSize = 512;  // loading reads at most this many bytes
constexpr size_t kSettingsPathSize = 260;

// Frees statusFormat and sets every field to its default.
void ResetSettings(PluginSettings* settings);
// Frees statusFormat and sets it to a copy of text. Returns false (text left
// as before) when the copy cannot be allocated.
bool ReplaceStatusFormat(const char* text, PluginSettings* settings);
void FreeSettings(PluginSettings* settings);

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
