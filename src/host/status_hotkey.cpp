// The status on/off key through the host's Global Hotkeys service.
#include "host/status_hotkey.h"

#include "host/host_query.h"
#include "host/plugin_descriptor.h"

namespace {

// The service's record of an action. It keeps the record's address and reads
// it at each press, sending `message` with wParam and lParam to `window`, so
// the record lives as long as the DLL.
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

// Request 65536 registers the message named by wParam and answers its id,
// which is above 65536; a host without the service answers less.
constexpr intptr_t kRegisterMessageRequest = 65536;
constexpr UINT kStatusOnOffMessage = WM_APP + 1;
const char kWindowClass[] = "TavrinStatusHotkey";

// Its words are written at registration: zero-initialised, it takes no room
// in the DLL's file (see the descriptor).
HotkeyAction g_statusOnOff;
intptr_t g_serviceMessage = 0;  // the service's message once asked; at most 65536: none
bool g_asked = false;
bool g_registered = false;
void (*g_onPress)() = nullptr;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&g_statusOnOff), &module);
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
  if (g_serviceMessage <= kRegisterMessageRequest || g_statusOnOff.window != nullptr) return;
  g_onPress = onPress;
  const HINSTANCE module = ThisModule();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HotkeyWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);
  g_statusOnOff.window =
      CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
  if (g_registered) return;
  g_registered = true;
  g_statusOnOff.name = "Tavrin: status on/off";
  g_statusOnOff.message = kStatusOnOffMessage;
  g_statusOnOff.id = "Tavrin_StatusOnOff";
  PostMessageA(g_descriptor.hostWindow, WM_USER, reinterpret_cast<WPARAM>(&g_statusOnOff),
               static_cast<LPARAM>(g_serviceMessage));
}

// The class goes with the window: one left registered would still name this
// DLL's window procedure after the host unloads it.
void StopStatusHotkey() {
  if (g_statusOnOff.window == nullptr) return;
  DestroyWindow(g_statusOnOff.window);
  g_statusOnOff.window = nullptr;
  UnregisterClassA(kWindowClass, ThisModule());
}
