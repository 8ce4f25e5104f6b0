// The settings file beside the plug-in module.
#include "settings/settings_file.h"

FILE* OpenSettingsFile(const char* modulePath, const char* mode) {
  char path[kSettingsPathSize];
  if (!SettingsPathFromModulePath(modulePath, path, sizeof path)) return nullptr;
  return fopen(path, mode);
}

void LoadSettingsFile(const char* modulePath, PluginSettings* settings) {
  FILE* file = OpenSettingsFile(modulePath, "rb");
  if (file == nullptr) {
    ResetSettings(settings);
    return;
  }
  ReadSettings(file, settings);
  fclose(file);
}

bool SaveSettingsFile(const char* modulePath, const PluginSettings& settings) {
  FILE* file = OpenSettingsFile(modulePath, "wb");
  if (file == nullptr) return false;
  bool written = WriteSettings(settings, file);
  // A full disk may only show when the buffered bytes are flushed.
  return fclose(file) == 0 && written;
}
