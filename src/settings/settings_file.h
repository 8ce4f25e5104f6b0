// The settings file beside the plug-in module: the module's own path with
// its extension replaced by "ini".
#pragma once

#include <stdio.h>

#include "settings/plugin_settings.h"

// Opens the settings file of the module at modulePath in mode, or returns null.
FILE* OpenSettingsFile(const char* modulePath, const char* mode);
// Fills settings from the file, or with the defaults when it cannot be read.
void LoadSettingsFile(const char* modulePath, PluginSettings* settings);
// Writes settings to the file. Returns false when it could not be written.
bool SaveSettingsFile(const char* modulePath, const PluginSettings& settings);
