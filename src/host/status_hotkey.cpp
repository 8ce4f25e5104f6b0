// The status on/off key through the host's Global Hotkeys service.
#include "host/status_hotkey.h"

#include "host/host_query.h"
#include "host/plugin_descriptor.h"

namespace {

// The service's record of an action. It keeps the record's address for as
// long as the player runs and reads it (name, id, window) whenever its page
// lists actions, a key is pressed (it sends `message` with wParam and lParam
// to `window`) or the bindings are saved at exit: after the host unloaded the
// DLL too, since it has no way to drop an action.
struct HotkeyAction {
  const char* name;  // shown on the service's page
  DWORD flags;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  const char* id;  // the service keeps the user's binding by it: never change it
  HWND window;
  int extended[6];
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HotkeyAction) == 52, "the 32-bit service reads thirteen 32-bit words");
#endif

struct ActionTexts {
  char name[sizeof "Tavrin: status on/off"];
  char id[sizeof "Tavrin_StatusOnOff"];
};
constexpr ActionTexts kTexts = {"Tavrin: status on/off", "Tavrin_StatusOnOff"};

// The record and its texts, in one block of the process heap that outlives
// the DLL: allocated at the registration (once per load) and never freed.
struct KeptAction {
  HotkeyAction record;
  ActionTexts texts;
};

// Request 65536 registers the message named by wParam and answers its id,
// which is above 65536; a host without the service answers less.
constexpr intptr_t kRegisterMessageRequest = 65536;
constexpr UINT kStatusOnOffMessage = WM_APP + 1;
const char kWindowClass[] = "TavrinStatusHotkey";

KeptAction* g_kept = nullptr;  // once registered: at most once per load, never freed
// Our window while it lives. Stop destroys it but leaves its handle in the
// record: a press then goes to a dead window and runs nothing of ours, where
// a record's window 0 would be the host's main window to the service.
HWND g_window = nullptr;
intptr_t g_serviceMessage = 0;  // the service's message once asked; at most 65536: none
bool g_asked = false;
void (*g_onPress)() = nullptr;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     kWindowClass, &module);
  return module;
}

LRESULT CALLBACK HotkeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kStatusOnOffMessage) return DefWindowProcA(window, message, wParam, lParam);
  if (g_onPress != nullptr) g_onPress();
  return 0;
}

}  // namespace

void AskHotkeyService() {
  if (g_asked) return;
  g_asked = true;
  g_serviceMessage = QueryHost(reinterpret_cast<intptr_t>("GenHotkeysAdd"), kRegisterMessageRequest);
}

void StartStatusHotkey(void (*onPress)()) {
  if (g_serviceMessage <= kRegisterMessageRequest || g_window != nullptr) return;
  g_onPress = onPress;
  const HINSTANCE module = ThisModule();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HotkeyWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  g_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
  if (g_window == nullptr) {  // nothing to register, or to leave in a record
    UnregisterClassA(kWindowClass, module);
    return;
  }
  if (g_kept == nullptr) {
    g_kept = static_cast<KeptAction*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(KeptAction)));
    if (g_kept == nullptr) return;
    g_kept->texts = kTexts;
    g_kept->record.name = g_kept->texts.name;
    g_kept->record.message = kStatusOnOffMessage;
    g_kept->record.id = g_kept->texts.id;
    // Posted to the host's window on this thread: the service reads the
    // record once we are back in the host's loop, window and all.
    PostMessageA(g_descriptor.hostWindow, WM_USER, reinterpret_cast<WPARAM>(&g_kept->record),
                 static_cast<LPARAM>(g_serviceMessage));
  }
  g_kept->record.window = g_window;
}

// The class goes with the window: one left registered would still name this
// DLL's window procedure after the host unloads it.
void StopStatusHotkey() {
  if (g_window == nullptr) return;
  DestroyWindow(g_window);
  g_window = nullptr;
  UnregisterClassA(kWindowClass, ThisModule());
}
