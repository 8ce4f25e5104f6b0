// Where the settings file lives, and loading and saving it. Beside the
// plug-in module first, as every install always had it: the module's own path
// with its extension replaced by "ini". That folder is often not writable by
// the user, so the host's own settings folder holds a per-user file instead
// when one is needed: <settings folder>\Plugins\<module name>.ini.
#pragma once

#include <windows.h>

#include <stdio.h>

#include "settings/plugin_settings.h"

struct SettingsLocations {
  char besidePlugin[kSettingsPathSize];  // empty when the module's path is not known
  char perUser[kSettingsPathSize];       // empty when the host names no settings folder
};

// Both paths, from the module's path and the host's settings folder (either
// may be null or too long, and its path is then empty).
void FindSettingsLocations(const char* modulePath, const char* hostFolder, SettingsLocations* locations);

// Fills settings from the per-user file if there is one, else from the file
// beside the plug-in, else with the defaults.
void LoadSettingsFile(const SettingsLocations& locations, PluginSettings* settings);

struct SaveReport {
  bool saved;
  DWORD besideError;   // why the file beside the plug-in could not be written (0: it was)
  DWORD perUserError;  // why the per-user file could not be (0: not tried)
};

// Writes the file beside the plug-in, and then makes sure a per-user file can
// never shadow it: removed when it is another file, written as well when it
// cannot be removed. If the file beside the plug-in cannot be written, writes
// the per-user file, making its Plugins folder when missing. Each file is
// replaced whole or not at all.
SaveReport SaveSettingsFile(const SettingsLocations& locations, const PluginSettings& settings);

// Deletes both settings files and the temporary file beside each; one that
// is not there is no failure. On a failure, tells the user in a message box
// owned by owner which file stays and why.
void DeleteSettingsFiles(HWND owner, const SettingsLocations& locations);

// Tells the user, in a message box owned by owner, that the settings could
// not be saved: where it tried and what the system said.
void ShowSaveFailure(HWND owner, const SettingsLocations& locations, const SaveReport& report);
