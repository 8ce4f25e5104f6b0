// standin_messenger: plays Yahoo! Messenger as a status plug-in sees it from
// outside (its windows, its profile key, its automation object, its
// commands) and logs what it is handed. Options and log: README.md.
#include "standin_messenger.h"

#include <shellapi.h>
#include <stdio.h>

namespace {

const UINT kApplyCustomMessage = 391;      // 392 from a beta build's point of view
const UINT kApplyCustomMessageBeta = 392;
const UINT kClosing = 376;
const UINT kHangMessage = WM_APP + 1;  // posted to the main window by RequestHang

Options options;
HWND mainWindow = nullptr;
HWND statusText = nullptr;
LONG hangRequested = 0;

const char kUsage[] =
    "usage: standin_messenger [--profile=NAME] [--signed-out] [--beta] [--title=TEXT] [--no-profile-key] [--keep-key]\n"
    "         [--automation=ok|create-fails|open-fails|query-fails|non-bstr|long-reply]\n"
    "         [--hung | --hung-after-open] [--hung-seconds=N] [--com-on-window-thread]\n"
    "         [--log=PATH] [--ready-event=NAME] [--notify-window=HEX] [--notify-on-closing] [--slow-apply-ms=N]\n";

bool TakeValue(const std::wstring& argument, const wchar_t* name, std::wstring* value) {
  const std::wstring prefix = name;
  if (argument.compare(0, prefix.size(), prefix) != 0) return false;
  *value = argument.substr(prefix.size());
  return true;
}

bool ParseAutomation(const std::wstring& name) {
  struct Mode {
    const wchar_t* name;
    const char* ansiName;
    AutomationMode mode;
  };
  static const Mode modes[] = {
      {L"ok", "ok", AutomationMode::Ok},
      {L"create-fails", "create-fails", AutomationMode::CreateFails},
      {L"open-fails", "open-fails", AutomationMode::OpenFails},
      {L"query-fails", "query-fails", AutomationMode::QueryFails},
      {L"non-bstr", "non-bstr", AutomationMode::NonBstr},
      {L"long-reply", "long-reply", AutomationMode::LongReply},
  };
  for (const Mode& mode : modes) {
    if (name == mode.name) {
      options.automation = mode.mode;
      options.automationName = mode.ansiName;
      return true;
    }
  }
  return false;
}

// A window handle in hex, as a test prints it (an optional 0x is allowed).
bool ParseWindow(const std::wstring& text, HWND* window) {
  wchar_t* end = nullptr;
  const unsigned long long value = wcstoull(text.c_str(), &end, 16);
  if (text.empty() || *end != L'\0' || value == 0) return false;
  *window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
  return true;
}

bool ParseMilliseconds(const std::wstring& text, DWORD* ms) {
  wchar_t* end = nullptr;
  const unsigned long value = wcstoul(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0') return false;
  *ms = value;
  return true;
}

std::string WindowHex(HWND window) {
  char text[24];
  snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  return text;
}

bool ParseOptions() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return false;
  bool good = true;
  for (int i = 1; i < count && good; ++i) {
    const std::wstring argument = arguments[i];
    std::wstring value;
    if (argument == L"--signed-out") options.signedOut = true;
    else if (argument == L"--beta") options.beta = true;
    else if (argument == L"--no-profile-key") options.profileKey = false;
    else if (argument == L"--keep-key") options.keepKey = true;
    else if (argument == L"--hung") options.hung = true;
    else if (argument == L"--hung-after-open") options.hungAfterOpen = true;
    else if (argument == L"--com-on-window-thread") options.comOnWindowThread = true;
    else if (argument == L"--notify-on-closing") options.notifyOnClosing = true;
    else if (TakeValue(argument, L"--title=", &value)) options.title = value;
    else if (TakeValue(argument, L"--profile=", &value)) options.profile = value, good = !value.empty();
    else if (TakeValue(argument, L"--automation=", &value)) good = ParseAutomation(value);
    else if (TakeValue(argument, L"--hung-seconds=", &value)) options.hungSeconds = wcstoul(value.c_str(), nullptr, 10);
    else if (TakeValue(argument, L"--log=", &value)) options.logPath = value;
    else if (TakeValue(argument, L"--ready-event=", &value)) options.readyEvent = value;
    else if (TakeValue(argument, L"--notify-window=", &value)) good = ParseWindow(value, &options.notifyWindow);
    else if (TakeValue(argument, L"--slow-apply-ms=", &value)) good = ParseMilliseconds(value, &options.slowApplyMs);
    else good = false;
  }
  LocalFree(arguments);
  return good;
}

// Starts from a clean profile key each run: values left by an earlier run
// (or a killed one) must not leak into this one's records.
bool PrepareProfileKey() {
  RegDeleteTreeW(HKEY_CURRENT_USER, ProfileRootPath(options.profile).c_str());
  if (!options.profileKey) return true;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, ProfileKeyPath(options.profile).c_str(), 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void Show(const std::wstring& text) {
  if (statusText) SetWindowTextW(statusText, text.c_str());
}

// A messenger that calls back into the sender while it handles the apply
// command (or the closing one): the sender waits in SendMessage, so whatever
// this message makes its thread do runs inside that wait, before the record is
// read.
void NotifyWindow(UINT command) {
  if (!options.notifyWindow) return;
  const std::string window = WindowHex(options.notifyWindow);
  if (!IsWindow(options.notifyWindow)) {
    LogLine("notify-failed " + window);
    return;
  }
  SendMessageW(options.notifyWindow, WM_APP, command, 0);
  LogLine("notified " + window);
}

void OnCommand(WPARAM wParam, LPARAM lParam) {
  std::string line = "command " + std::to_string(wParam);
  if (lParam != 0) line += " lparam=" + std::to_string(lParam);
  LogLine(line);
  const UINT id = static_cast<UINT>(wParam);
  if (id == kApplyCustomMessage || id == kApplyCustomMessageBeta) {
    NotifyWindow(id);
    // A messenger busy with the command: the sender's bounded wait may run
    // out while we are still at it, and we read what is there afterwards.
    if (options.slowApplyMs > 0) Sleep(options.slowApplyMs);
    // Read now, while the sender waits in SendMessage: it deletes the
    // values as soon as we return.
    const RecordReport report = ReadRecord(ProfileKeyPath(options.profile));
    LogLine(report.logLine);
    LogLine(report.shownLine);
    Show(report.displayText);
  } else if (id == kClosing) {
    if (options.notifyOnClosing) NotifyWindow(id);
    Show(L"(the status plug-in sent its closing command)");
  }
}

// The window thread stops answering; so does COM when it is served from this
// thread's apartment, and otherwise, on COM's own threads, it does not.
void Hang() {
  LogLine("hung");
  if (options.hungSeconds == 0) {
    for (;;) Sleep(INFINITE);
  }
  Sleep(options.hungSeconds * 1000);
  LogLine("resumed");
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kHangMessage:
      Hang();
      return 0;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int background) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0;
}

// The main window, its "YTopWindow" child (with the status shown inside it),
// and when signed out the "YDisconnectedWindow" inside that.
HWND CreateWindows() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(L"yahooBuddyMain", MainWindowProc, COLOR_BTNFACE) ||
      !RegisterWindowClass(L"YTopWindow", DefWindowProcW, COLOR_WINDOW) ||
      !RegisterWindowClass(L"YDisconnectedWindow", DefWindowProcW, COLOR_INFOBK))
    return nullptr;
  const wchar_t* title = !options.title.empty() ? options.title.c_str()
                         : options.beta         ? L"Yahoo! Messenger (BETA)"
                                                : L"Yahoo! Messenger";
  HWND main = CreateWindowExW(0, L"yahooBuddyMain", title, WS_OVERLAPPEDWINDOW, 40, 40, 520, 240, nullptr,
                              nullptr, instance, nullptr);
  if (!main) return nullptr;
  HWND top = CreateWindowExW(0, L"YTopWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, 504, 200, main, nullptr,
                             instance, nullptr);
  if (!top) return nullptr;
  const std::wstring greeting = options.signedOut ? L"Signed out" : L"Signed in as " + options.profile;
  statusText = CreateWindowExW(0, L"STATIC", greeting.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 484, 150,
                               top, nullptr, instance, nullptr);
  if (options.signedOut &&
      !CreateWindowExW(0, L"YDisconnectedWindow", L"", WS_CHILD | WS_VISIBLE, 10, 170, 484, 20, top, nullptr,
                       instance, nullptr))
    return nullptr;
  ShowWindow(main, SW_SHOWNORMAL);
  UpdateWindow(main);
  return main;
}

void SignalReady() {
  LogLine(std::string("ready ") + (options.signedOut ? "signed-out" : "signed-in") +
          " beta=" + (options.beta ? "1" : "0") + " profile=" + Utf8(options.profile) +
          " automation=" + options.automationName);
  if (options.readyEvent.empty()) return;
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, options.readyEvent.c_str());
  if (!event) return;
  SetEvent(event);
  CloseHandle(event);
}

int Run() {
  if (!PrepareProfileKey()) {
    LogLine("error=profile-key");
    return 1;
  }
  mainWindow = CreateWindows();
  if (!mainWindow) {
    LogLine("error=windows");
    return 1;
  }
  if (!StartAutomation(options)) return 1;
  SignalReady();
  if (options.hung) Hang();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

void RequestHang() {
  if (InterlockedExchange(&hangRequested, 1) == 0) PostMessageW(mainWindow, kHangMessage, 0, 0);
}

int main() {
  if (!ParseOptions()) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kUsage, sizeof kUsage - 1, &written, nullptr);
    return 2;
  }
  OpenLogFile(options.logPath);
  // By default the multithreaded apartment: incoming calls need no message loop
  // of ours. With --com-on-window-thread, this thread's own single-threaded
  // apartment, as a messenger that serves COM from its UI thread: calls arrive
  // through the message loop below and wait while it is busy or hung.
  const DWORD apartment = options.comOnWindowThread ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
  if (FAILED(CoInitializeEx(nullptr, apartment))) {
    LogLine("error=com");
    return 1;
  }
  const int result = Run();
  StopAutomation();
  if (!options.keepKey) RegDeleteTreeW(HKEY_CURRENT_USER, ProfileRootPath(options.profile).c_str());
  LogLine("exit");
  CoUninitialize();
  CloseLogFile();
  return result;
}
