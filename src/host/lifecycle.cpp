// The three entries the host calls, and the module state they own: the
// settings, the tick timer and the one messenger link.
#include "host/lifecycle.h"

#include <new>

#include "composer/timer_tick.h"
#include "host/plugin_descriptor.h"
#include "messenger/messenger_link.h"
#include "resources/resource_ids.h"
#include "settings/config_dialog.h"
#include "settings/settings_file.h"

ModuleState g_module;

void StartTickTimer() {
  // A thread timer: its expiries reach OnTimerTick through the host's own
  // message loop. An interval of 0 gets the platform's shortest period.
  UINT periodMs = static_cast<UINT>(g_module.settings.intervalSeconds) * 1000u;
  g_module.timerId = SetTimer(nullptr, 0, periodMs, OnTimerTick);
}

int PluginStart() {
  LoadSettings();
  g_module.timerId = 0;
  if (g_module.settings.enabled) StartTickTimer();
  // The link exists even when disabled, so stop can still say goodbye to a
  // messenger; creating it touches neither windows nor COM. Without memory
  // there is simply no link, and the tick publishes nothing.
  g_module.link = new (std::nothrow) MessengerLink;
  return 0;
}

void PluginConfigure() {
  DialogBoxParamA(g_descriptor.moduleInstance, MAKEINTRESOURCEA(IDD_CONFIG), g_descriptor.hostWindow,
                  ConfigDialogProc, 0);
}

void PluginStop() {
  FreeSettings(&g_module.settings);
  KillTimer(nullptr, g_module.timerId);
  g_module.timerId = 0;
  // The destructor may talk to the messenger (closing command 376); the timer
  // is already gone, so no new tick can start while it waits.
  MessengerLink* link = g_module.link;
  g_module.link = nullptr;
  DestroyLinkAfterTick(link);
}
