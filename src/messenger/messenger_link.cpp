// Finding the messenger, asking it for the profile and sending it commands.
#include "messenger/messenger_link.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "messenger/profile_reply.h"
#include "platform/text.h"

namespace {

// The converted reply, at most 99 bytes and its zero byte.
constexpr int kReplySize = 100;

// A window thread that has just come back from a command it was busy with
// for seconds still counts as hung for a moment (it has not asked for a
// message since), and a message to it is refused at once: it is sent again
// a few times before the refusal is believed.
constexpr int kHungRetries = 3;
constexpr DWORD kHungRetryMs = 100;

// SendMessageTimeoutA, bounded by timeoutMs and at once for a window that
// stays hung; false when the message was refused or the wait ran out.
bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs, DWORD_PTR* answer) {
  for (int attempt = 0;; ++attempt) {
    const DWORD start = GetTickCount();
    if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, answer) != 0)
      return true;
    // A wait that ran out is no refusal: the message is on its way.
    if (attempt == kHungRetries || GetTickCount() - start >= kHungRetryMs) return false;
    Sleep(kHungRetryMs);
  }
}

// Converts a reply string to the ANSI code page. Returns false when it is
// empty or its ANSI form does not fit whole: a shortened reply could name
// another profile. The conversion writes at most outSize - 1 bytes.
bool ReplyToAnsi(BSTR reply, char* out, int outSize) {
  out[0] = '\0';
  UINT length = SysStringLen(reply);
  if (length == 0 || length > INT_MAX) return false;
  int written = WideCharToMultiByte(CP_ACP, 0, reply, static_cast<int>(length), out, outSize - 1, nullptr, nullptr);
  if (written <= 0) return false;
  out[written] = '\0';
  return true;
}

}  // namespace

MessengerLink::MessengerLink(UINT commandTimeoutMs)
    : mainWindow(nullptr),
      profile(nullptr),
      automation(),
      channelId(0),
      channelAux(0),
      betaClient(0),
      commandTimeoutMs(commandTimeoutMs) {}

MessengerLink::~MessengerLink() {
  free(profile);
  profile = nullptr;
  SendCommand(WM_COMMAND, kClosingCommand, 0);
  DropAutomation();
}

bool MessengerLink::IsReady() {
  // A link that was ready stays ready while the main window exists.
  if (mainWindow != nullptr && IsWindow(mainWindow) && automation.Get() != nullptr) return true;
  return FullCheck();
}

bool MessengerLink::FullCheck() {
  // Every full check starts a fresh object, so a failed creation leaves none.
  // The old one goes while mainWindow is still the window it came with.
  DropAutomation();
  mainWindow = FindWindowA("yahooBuddyMain", nullptr);
  if (mainWindow == nullptr) return false;
  HWND top = FindWindowExA(mainWindow, nullptr, "YTopWindow", nullptr);
  if (top == nullptr || FindWindowExA(top, nullptr, "YDisconnectedWindow", nullptr) != nullptr) {
    mainWindow = nullptr;  // running but signed out
    return false;
  }

  char title[100];
  title[0] = '\0';
  GetWindowTextA(mainWindow, title, sizeof title);
  betaClient = FindText(title, " (BETA)") >= 0 ? 1 : 0;
  if (!WindowAnswers()) return false;

  HRESULT created = CoCreateInstance(CLSID_MessengerAutomation, nullptr, CLSCTX_LOCAL_SERVER,
                                     IID_IMessengerAutomation, automation.ResetAndGetSlot());
  if (created != S_OK) {
    automation.Reset();
    return false;
  }
  // Keep the object alive across the call even if a nested check replaces it.
  ComRef<IMessengerAutomation> held(automation.Get());
  OpenArgument zero = {};
  if (held->Open(zero, &channelId, &channelAux) == S_OK) return true;
  // An object whose open failed has no channel: holding it would let the quick
  // path report ready and every later query fail until the messenger's window
  // goes away. Dropping it makes the next check a full one that tries again.
  automation.Reset();
  return false;
}

const char* MessengerLink::QueryProfile() {
  if (!IsReady() || !WindowAnswers()) return nullptr;

  ComRef<IMessengerAutomation> held(automation.Get());
  VariantOwner request;
  VariantOwner reply;
  if (held->Query(channelId, kQueryProfileRequest, request.Get(), reply.Get(), &channelAux) != S_OK) return nullptr;

  // Only a string reply is read as one.
  BSTR text = reply.String();
  if (text == nullptr) return nullptr;
  char converted[kReplySize];
  if (!ReplyToAnsi(text, converted, sizeof converted)) return nullptr;
  char name[kReplySize];
  if (!ParseProfileReply(converted, name, sizeof name)) return nullptr;

  if (profile != nullptr && SameText(profile, name)) return profile;
  size_t size = strlen(name) + 1;
  char* copy = static_cast<char*>(malloc(size));
  free(profile);
  profile = copy;
  if (profile == nullptr) return nullptr;
  memcpy(profile, name, size);
  return profile;
}

// Asked before every call into the automation object: a messenger may serve it
// from its window thread, and a COM call, unlike a message, has no bound. (A
// hang that starts between this answer and the call is not caught.)
bool MessengerLink::WindowAnswers() {
  DWORD_PTR result = 0;
  return SendBounded(mainWindow, WM_NULL, 0, 0, commandTimeoutMs, &result);
}

// Releasing the object is a call into its messenger as well: one whose window
// is there but does not answer keeps the reference for good.
void MessengerLink::DropAutomation() {
  if (automation.Get() == nullptr) return;
  if (IsWindow(mainWindow) && !WindowAnswers()) {
    automation.Abandon();
    return;
  }
  automation.Reset();
}

LRESULT MessengerLink::SendCommand(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  Deliver(message, wParam, lParam, &result);
  return result;
}

CommandOutcome MessengerLink::Deliver(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (result != nullptr) *result = 0;
  if (!IsReady()) return CommandOutcome::kNotSent;
  // As synchronous as SendMessage for a responsive messenger, but bounded: a
  // hung one costs the hand-over thread at most the timeout, and a few tenths
  // of a second once it is known to be hung.
  DWORD_PTR answer = 0;
  if (!SendBounded(mainWindow, message, wParam, lParam, commandTimeoutMs, &answer)) return CommandOutcome::kUnconfirmed;
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return CommandOutcome::kCompleted;
}
