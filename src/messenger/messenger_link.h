// Finds the running, signed-in messenger and talks to it: its main window,
// its current profile and its automation object.
#pragma once

#include <windows.h>

#include "messenger/automation.h"
#include "messenger/owners.h"
#include "settings/plugin_settings.h"

// The messenger's WM_COMMAND ids.
enum : WPARAM {
  kClosingCommand = 376,
  kApplyCustomStatusCommand = 391,  // 392 for a beta build
};
// How long one command may wait for the messenger's window; a hung messenger
// must not freeze the player's UI thread for longer.
enum : UINT { kCommandTimeoutMs = 10000 };

class MessengerLink {
 public:
  MessengerLink();
  // Frees the profile and sends the closing command 376 when the messenger is ready.
  virtual ~MessengerLink();

  bool IsReady();
  // The cached name of the signed-in profile, or null.
  const char* QueryProfile();
  // Sends the message to the main window when ready and waits for it to be
  // processed, at most kCommandTimeoutMs. Returns the window's result, or 0
  // when not ready (nothing sent) or when the wait ran out.
  LRESULT SendCommand(UINT message, WPARAM wParam, LPARAM lParam);

  // Turns a changed status text into the messenger's record and applies it.
  void PublishStatus(const char* text, const PluginSettings& settings);
  // record holds recordLength bytes and its zero byte.
  void ApplyCustomStatus(const char* record, size_t recordLength);

 private:
  MessengerLink(const MessengerLink&) = delete;
  MessengerLink& operator=(const MessengerLink&) = delete;

  bool FullCheck();
  bool WindowAnswers();
  void DropAutomation();

  HWND mainWindow;
  char* profile;  // malloc'ed; replaced only when the name changes
  ComRef<IMessengerAutomation> automation;
  LONG channelId;
  LONG channelAux;
  BYTE betaClient;
};
