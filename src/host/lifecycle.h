// The three entries the host calls, and the module state they own.
#pragma once

#include <windows.h>

#include "composer/status_composer.h"
#include "settings/plugin_settings.h"

class MessengerLink;

struct ModuleState {
  PluginSettings settings;
  StatusComposer composer;  // track fields and the last text offered
  UINT_PTR timerId;         // last timer started; 0 when start found status changing disabled
  MessengerLink* link;      // the one link, or null
};
extern ModuleState g_module;

int PluginStart();
void PluginConfigure();
void PluginStop();

// Starts the repeating tick timer with the interval in g_module.settings and
// stores its id in timerId.
void StartTickTimer();
