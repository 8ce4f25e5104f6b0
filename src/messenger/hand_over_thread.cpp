// The hand-over thread and the mailbox it shares with the UI thread.
#include "messenger/hand_over_thread.h"

#include <objbase.h>
#include <string.h>

#include <new>

namespace {

enum class Slot : unsigned char { kEmpty, kStatus, kClear };

}  // namespace

// Shared by the two threads, each holding one reference: the last to let go
// frees it, so a thread still waiting on a hung messenger after stop finds it
// whole. The fields after `lock` are read and written under it.
struct Mailbox {
  LONG references;
  HMODULE module;  // the thread's own reference to this DLL
  UINT commandTimeoutMs;
  HANDLE posted;      // auto-reset: something was posted
  HANDLE handedOver;  // auto-reset: set when the thread has handed over all that was posted
  CRITICAL_SECTION lock;
  bool idle;  // nothing posted waits or is in hand
  Slot slot;
  char text[kStatusRecordSize];
  RecordOptions options;
  bool goodbye;  // the link says goodbye before the slot is handed over
  bool newLink;  // ... and a new one takes over
  bool quit;     // the last goodbye: the thread ends after it
  bool notApplied;  // the last status did not reach the messenger, or nothing says it did
};

namespace {

// What the thread takes out of the mailbox in one go.
struct Work {
  Slot slot;
  char text[kStatusRecordSize];
  RecordOptions options;
  bool goodbye;
  bool newLink;
  bool quit;
};

// Any byte of this DLL: the thread takes its reference to the DLL by it.
const char g_thisModule = 0;

class MailboxLock {
 public:
  explicit MailboxLock(Mailbox* box) : box(box) { EnterCriticalSection(&box->lock); }
  ~MailboxLock() { LeaveCriticalSection(&box->lock); }

 private:
  MailboxLock(const MailboxLock&) = delete;
  MailboxLock& operator=(const MailboxLock&) = delete;
  Mailbox* box;
};

void Release(Mailbox* box) {
  if (InterlockedDecrement(&box->references) != 0) return;
  DeleteCriticalSection(&box->lock);
  if (box->posted != nullptr) CloseHandle(box->posted);
  if (box->handedOver != nullptr) CloseHandle(box->handedOver);
  delete box;
}

// Under the lock: the thread has something to do. Returns whether it had
// nothing in hand before; a "handed over" from then that nobody waited for
// must not answer a wait for this.
bool Notify(Mailbox* box) {
  const bool wasIdle = box->idle;
  if (wasIdle) WaitForSingleObject(box->handedOver, 0);
  box->idle = false;
  SetEvent(box->posted);
  return wasIdle;
}

void TakeWork(Mailbox* box, Work* work) {
  MailboxLock hold(box);
  work->slot = box->slot;
  if (box->slot == Slot::kStatus) {
    memcpy(work->text, box->text, sizeof work->text);
    work->options = box->options;
  }
  work->goodbye = box->goodbye;
  work->newLink = box->newLink;
  work->quit = box->quit;
  box->slot = Slot::kEmpty;
  box->goodbye = false;
  box->quit = false;
}

// A stop that came while the link said goodbye has the last word: no new
// link may start after it.
bool QuitPosted(Mailbox* box) {
  MailboxLock hold(box);
  return box->quit;
}

// Only while nothing newer waits: a status posted since takes its place,
// and must not make the tick offer that one twice.
void MarkNotApplied(Mailbox* box) {
  MailboxLock hold(box);
  if (box->slot == Slot::kEmpty) box->notApplied = true;
}

// All handed over, unless something new came meanwhile.
void FinishWork(Mailbox* box) {
  MailboxLock hold(box);
  if (box->slot != Slot::kEmpty || box->goodbye || box->quit) return;
  box->idle = true;
  SetEvent(box->handedOver);
}

DWORD WINAPI HandOverMain(void* parameter) {
  Mailbox* box = static_cast<Mailbox*>(parameter);
  const HMODULE module = box->module;
  // An apartment of its own, multithreaded: the calls into the messenger's
  // automation object need no message loop here.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  // A tag of our own rather than std::nothrow: that object would bring the
  // libstdc++ file that defines it, unwind tables and all, into the DLL.
  const std::nothrow_t noThrow{};
  MessengerLink* link = new (noThrow) MessengerLink(box->commandTimeoutMs);
  Work work;
  do {
    WaitForSingleObject(box->posted, INFINITE);
    TakeWork(box, &work);
    if (work.goodbye) {
      delete link;  // its goodbye: the closing command, when the messenger is ready
      const bool quitting = work.quit || QuitPosted(box);
      link = work.newLink && !quitting ? new (noThrow) MessengerLink(box->commandTimeoutMs) : nullptr;
    }
    if (link != nullptr && work.slot == Slot::kStatus && link->PublishStatus(work.text, work.options) != HandOver::kDone)
      MarkNotApplied(box);
    // A clear the messenger did not take would leave the status before it
    // standing while nothing may show: it is told like a status.
    if (link != nullptr && work.slot == Slot::kClear &&
        link->Deliver(WM_COMMAND, kClosingCommand, 0, nullptr) != CommandOutcome::kCompleted)
      MarkNotApplied(box);
    if (work.quit) {
      delete link;
      link = nullptr;
    }
    FinishWork(box);
  } while (!work.quit);
  if (com) CoUninitialize();
  Release(box);
  // Never returns into this DLL, which the host may have unloaded: this
  // reference may be the last.
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

bool HandOverThread::Start(UINT commandTimeoutMs) {
  if (mailbox != nullptr) return true;
  const std::nothrow_t noThrow{};
  Mailbox* box = new (noThrow) Mailbox();
  if (box == nullptr) return false;
  box->references = 1;
  box->commandTimeoutMs = commandTimeoutMs;
  box->idle = true;
  InitializeCriticalSection(&box->lock);
  box->posted = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  box->handedOver = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  const bool referenced = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, &g_thisModule, &box->module);
  if (box->posted != nullptr && box->handedOver != nullptr && referenced) {
    box->references = 2;
    thread = CreateThread(nullptr, 0, HandOverMain, box, 0, nullptr);
    if (thread == nullptr) box->references = 1;
  }
  if (thread == nullptr) {
    if (referenced) FreeLibrary(box->module);
    Release(box);
    return false;
  }
  mailbox = box;
  return true;
}

bool HandOverThread::PostStatus(const char* text, const RecordOptions& options) {
  if (mailbox == nullptr || text == nullptr) return false;
  MailboxLock hold(mailbox);
  size_t length = strlen(text);
  if (length >= sizeof mailbox->text) length = sizeof mailbox->text - 1;
  memcpy(mailbox->text, text, length);
  mailbox->text[length] = '\0';
  mailbox->options = options;
  mailbox->slot = Slot::kStatus;
  mailbox->notApplied = false;
  return Notify(mailbox);
}

bool HandOverThread::PostClear() {
  if (mailbox == nullptr) return false;
  MailboxLock hold(mailbox);
  mailbox->slot = Slot::kClear;
  mailbox->notApplied = false;
  return Notify(mailbox);
}

void HandOverThread::PostGoodbye(bool newLink) {
  if (mailbox == nullptr) return;
  MailboxLock hold(mailbox);
  mailbox->slot = Slot::kEmpty;
  mailbox->goodbye = true;
  mailbox->newLink = newLink;
  Notify(mailbox);
}

bool HandOverThread::WaitUntilHandedOver(DWORD timeoutMs) {
  if (mailbox == nullptr) return true;
  return WaitForSingleObject(mailbox->handedOver, timeoutMs) == WAIT_OBJECT_0;
}

bool HandOverThread::TakeNotApplied() {
  if (mailbox == nullptr) return false;
  MailboxLock hold(mailbox);
  const bool notApplied = mailbox->notApplied;
  mailbox->notApplied = false;
  return notApplied;
}

void HandOverThread::Stop(DWORD timeoutMs) {
  Mailbox* box = mailbox;
  if (box == nullptr) return;
  mailbox = nullptr;
  {
    MailboxLock hold(box);
    box->slot = Slot::kEmpty;
    box->quit = true;
    Notify(box);
  }
  // Done once the thread has ended: its reference to this DLL is gone then,
  // and the host's own is the last.
  WaitForSingleObject(thread, timeoutMs);
  CloseHandle(thread);
  thread = nullptr;
  Release(box);
}
