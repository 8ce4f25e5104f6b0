// The hand-over thread: the one thread that talks to the messenger (its
// windows, its automation object, the registry values, the commands), so
// that a busy or hung messenger never holds up the player's UI thread. The UI
// thread composes the status and leaves it in a one-slot mailbox, which is
// all the two threads share; latest wins there, so the thread always hands
// over the newest status and never one older than a status it applied.
#pragma once

#include <windows.h>

#include "messenger/messenger_link.h"
#include "messenger/status_record.h"

struct Mailbox;

// The UI thread's side. Every call returns at once but the two waits, each
// bounded by its caller. Without a thread (before Start, after Stop, or when
// it could not start) every call does nothing.
class HandOverThread {
 public:
  // Starts the thread with a link to the messenger (it finds the messenger
  // only when it first needs it). False when there is no memory or no
  // thread: nothing is handed over then.
  bool Start(UINT commandTimeoutMs = kCommandTimeoutMs);

  // A status for the messenger, or the closing command that clears it;
  // either replaces one the thread has not taken yet. True when the thread
  // had nothing in hand: a responsive messenger has it in moments, so it is
  // worth waiting for; false while the messenger is still busy with an
  // earlier one.
  bool PostStatus(const char* text, const RecordOptions& options);
  bool PostClear();
  // The link says goodbye (the closing command) before anything posted
  // later, and what was not taken yet is dropped: it belonged to the old
  // settings. With newLink a new link takes over, else there is none until a
  // later goodbye asks for one.
  void PostGoodbye(bool newLink);
  // After a post that found the thread idle: waits at most timeoutMs until
  // the thread has handed over all that was posted; true when it has.
  bool WaitUntilHandedOver(DWORD timeoutMs);
  // True once after a status or a clear the messenger did not take (it was
  // not ready) or did not confirm within the command bound: it should be
  // offered again.
  bool TakeNotApplied();

  // The last goodbye: waits at most timeoutMs for it and the thread's end,
  // then lets the thread finish on its own. The thread holds its own
  // reference to this DLL, so the host may unload it at once.
  void Stop(DWORD timeoutMs);

 private:
  Mailbox* mailbox = nullptr;
  HANDLE thread = nullptr;
};
