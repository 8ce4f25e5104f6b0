// The entries the host calls, and the one owner of the plug-in's
// running state: the settings, the composer's state, the tick timer, the
// thread that talks to the messenger and the open settings dialog.
#pragma once

#include <windows.h>

#include "composer/status_composer.h"
#include "messenger/hand_over_thread.h"
#include "settings/config_dialog.h"
#include "settings/plugin_settings.h"
#include "settings/settings_file.h"

struct RunningState {
  bool started;                      // between the start entry and the stop entry
  // Counts starts and stops. Start waits for the host's answer and compares
  // it afterwards: a change means another entry ran inside the wait and owns
  // the state now.
  unsigned changes;
  PluginSettings settings;
  SettingsLocations settingsFiles;   // found at start
  // The template in UTF-8, for ticks that get the title as wide text;
  // converted whenever the settings change, so no tick converts or allocates.
  char utf8Format[kExpansionHalfSize];
  uint8_t namedTokens;               // the tags, $M and $E either form of the template names (TokenBits)
  StatusComposer composer;           // track fields and the last text offered
  bool statusCleared;                // the closing command went out, and no status since
  // The current entry as the ticks time it, for "show a new song after N
  // seconds": which entry (the fields' count), since when (the ticks' own
  // clock), and whether it is timed yet (start times the first one anew).
  uint32_t timedEntry;
  DWORD timedEntrySinceMs;
  bool entryTimed;
  UINT_PTR timerId;                  // the tick timer, or 0
  HandOverThread handOver;           // from start to stop
  ConfigDialogSession* configuring;  // while the settings dialog is open, its session
};
extern RunningState g_running;

int PluginStart();
void PluginConfigure();
void PluginStop();
// Asks whether the settings go with the plug-in; 1: the host may stop,
// unload and delete it now, 0: only at the player's next start.
int PluginUninstall(HWND preferencesPage);

// Counts the calls of ours in progress on the host's thread (entries and
// ticks) for as long as it lives: each can wait, and the host's messages that
// run inside that wait can call an entry again.
class ActiveCall {
 public:
  ActiveCall();
  ~ActiveCall();

 private:
  ActiveCall(const ActiveCall&) = delete;
  ActiveCall& operator=(const ActiveCall&) = delete;
};
