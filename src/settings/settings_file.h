// The settings file beside the plug-in module.
#pragma once

#include <stdio.h>

// Opens the module's own path with the extension replaced by "ini" in mode,
// or returns null.
FILE* OpenSettingsFile(const char* mode);
// Fills g_module.settings from the file, or with the defaults.
void LoadSettings();
// Writes g_module.settings to the file; a failure loses the change silently.
void SaveSettings();
