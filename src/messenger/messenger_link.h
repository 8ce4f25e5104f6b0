// Finds the running, signed-in messenger and talks to it: its main window,
// its current profile and its automation object.
#pragma once

#include <windows.h>

#include "messenger/automation.h"
#include "settings/plugin_settings.h"

class MessengerLink {
 public:
  MessengerLink();
  // Frees the profile and sends the closing command 376 when the messenger is ready.
  virtual ~MessengerLink();

  bool IsReady();
  // The cached name of the signed-in profile, or null.
  const char* QueryProfile();
  // SendMessage to the main window when ready; 0 and nothing sent otherwise.
  LRESULT SendCommand(UINT message, WPARAM wParam, LPARAM lParam);

  // Turns a changed status text into the messenger's record and applies it.
  void PublishStatus(const char* text, const PluginSettings& settings);
  void ApplyCustomStatus(const char* record, size_t recordLength);

 private:
  MessengerLink(const MessengerLink&) = delete;
  MessengerLink& operator=(const MessengerLink&) = delete;

  HWND mainWindow;
  char* profile;
  IMessengerAutomation* automation;
  LONG channelId;
  LONG channelAux;
  BYTE betaClient;
};
