// The settings file beside the plug-in module: "<module path>.ini" with the
// module's extension replaced.
#include "settings/settings_file.h"

#include <windows.h>

#include "host/lifecycle.h"
#include "host/plugin_descriptor.h"
#include "settings/plugin_settings.h"

FILE* OpenSettingsFile(const char* mode) {
  // Without the module instance, GetModuleFileNameA would name the host's own
  // program, and its .ini is the host's configuration, not ours.
  HMODULE module = g_descriptor.moduleInstance;
  if (module == nullptr) return nullptr;
  char modulePath[kSettingsPathSize];
  DWORD length = GetModuleFileNameA(module, modulePath, sizeof modulePath);
  // A full buffer means the path was cut; its "extension" would be wrong.
  if (length == 0 || length >= sizeof modulePath) return nullptr;
  char path[kSettingsPathSize];
  if (!SettingsPathFromModulePath(modulePath, path, sizeof path)) return nullptr;
  return fopen(path, mode);
}

void LoadSettings() {
  FILE* file = OpenSettingsFile("rb");
  if (file == nullptr) {
    ResetSettings(&g_module.settings);
    return;
  }
  ReadSettings(file, &g_module.settings);
  fclose(file);
}

void SaveSettings() {
  FILE* file = OpenSettingsFile("wb");
  if (file == nullptr) return;
  WriteSettings(g_module.settings, file);
  fclose(file);
}
