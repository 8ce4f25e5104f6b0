// Finds the running, signed-in messenger and talks to it: its main window,
// its current profile and its automation object.
#pragma once

#include <windows.h>

#include "messenger/automation.h"
#include "messenger/owners.h"
#include "messenger/status_record.h"

// The messenger's WM_COMMAND ids.
constexpr WPARAM kClosingCommand = 376;
constexpr WPARAM kApplyCustomStatusCommand = 391;  // 392 for a beta build
// How long one command may wait for the messenger's window; a hung messenger
// must not keep the hand-over thread from the next status for longer.
constexpr UINT kCommandTimeoutMs = 10000;

// What became of a command for the messenger's window.
enum class CommandOutcome {
  kNotSent,      // the messenger is not ready
  kCompleted,    // the window processed it
  kUnconfirmed,  // sent, but the wait ran out: the window may still process it later
};

// What became of a status handed to PublishStatus.
enum class HandOver {
  kDone,         // applied, or a text no record can hold
  kNotReady,     // not running, signed out, not answering, no profile or no key: offer the text again
  kUnconfirmed,  // the apply command did not complete: offer the text again
};

class MessengerLink {
 public:
  // commandTimeoutMs bounds every wait for the messenger's window.
  explicit MessengerLink(UINT commandTimeoutMs = kCommandTimeoutMs);
  // Frees the profile and sends the closing command 376 when the messenger is ready.
  virtual ~MessengerLink();

  bool IsReady();
  // The cached name of the signed-in profile, or null.
  const char* QueryProfile();
  // Sends the message to the main window when ready and waits for it to be
  // processed, at most kCommandTimeoutMs. Returns the window's result, or 0
  // when not ready (nothing sent) or when the wait ran out.
  LRESULT SendCommand(UINT message, WPARAM wParam, LPARAM lParam);
  // SendCommand that tells what became of the message; result may be null.
  CommandOutcome Deliver(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Turns a changed status text into the messenger's record and applies it.
  HandOver PublishStatus(const char* text, const RecordOptions& options);
  // record holds recordLength bytes and its zero byte.
  HandOver ApplyCustomStatus(const char* record, size_t recordLength);

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
  UINT commandTimeoutMs;
};
