#include "messenger_process.h"

#include <algorithm>

namespace {

// Waits for handles (or just time) while dispatching the calling thread's
// messages. Returns the index of the signalled handle, or -1 at the deadline.
int PumpUntil(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_ALLINPUT);
    if (result < WAIT_OBJECT_0 + count) return static_cast<int>(result - WAIT_OBJECT_0);
    if (result != WAIT_OBJECT_0 + count) return -1;  // timeout or failure
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

std::wstring Wide(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &out[0], size);
  return out;
}

std::wstring SiblingPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return name;
  std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L"\\/") + 1) + name;
}

// The stand-in's form of a window handle, also the one its log shows.
std::wstring WindowHex(HWND window) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  for (UINT_PTR value = reinterpret_cast<UINT_PTR>(window); value != 0; value >>= 4)
    text.insert(text.begin(), digits[value & 15]);
  return text.empty() ? L"0" : text;
}

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

std::wstring CommandLine(const std::wstring& program, const MessengerOptions& options, const std::wstring& logPath,
                         const std::wstring& readyEvent) {
  std::wstring line = Quoted(program);
  line += L" " + Quoted(L"--profile=" + Wide(options.profile));
  if (options.signedOut) line += L" --signed-out";
  if (options.beta) line += L" --beta";
  if (!options.title.empty()) line += L" " + Quoted(L"--title=" + Wide(options.title));
  if (!options.profileKey) line += L" --no-profile-key";
  if (options.keepKey) line += L" --keep-key";
  line += L" --automation=" + Wide(options.automation);
  if (options.hung) line += L" --hung";
  if (options.hungAfterOpen) line += L" --hung-after-open";
  if (options.hungSeconds > 0) line += L" --hung-seconds=" + std::to_wstring(options.hungSeconds);
  if (options.comOnWindowThread) line += L" --com-on-window-thread";
  if (options.notifyWindow) line += L" --notify-window=" + WindowHex(options.notifyWindow);
  if (options.notifyOnClosing) line += L" --notify-on-closing";
  if (options.slowApplyMs > 0) line += L" --slow-apply-ms=" + std::to_wstring(options.slowApplyMs);
  line += L" " + Quoted(L"--log=" + logPath);
  line += L" --ready-event=" + readyEvent;
  return line;
}

struct FindMain {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM context) {
  FindMain* search = reinterpret_cast<FindMain*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  if (owner == search->processId && GetClassNameW(window, className, 64) && wcscmp(className, L"yahooBuddyMain") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

MessengerProcess::MessengerProcess() {}

MessengerProcess::~MessengerProcess() {
  Stop();
  if (!logPath.empty()) DeleteFileW(logPath.c_str());
}

bool MessengerProcess::Start(const MessengerOptions& startOptions, DWORD timeoutMs, std::string* error) {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  Stop();
  options = startOptions;

  static LONG starts = 0;
  const std::wstring unique = std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&starts));
  wchar_t tempDir[MAX_PATH];
  const DWORD tempLength = GetTempPathW(MAX_PATH, tempDir);
  if (tempLength == 0 || tempLength >= MAX_PATH) {
    why = "no temp directory";
    return false;
  }
  if (!logPath.empty()) DeleteFileW(logPath.c_str());
  logPath = std::wstring(tempDir) + L"standin_messenger-" + unique + L".log";
  DeleteFileW(logPath.c_str());

  const std::wstring eventName = L"Local\\standin-messenger-ready-" + unique;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  if (!ready) {
    why = "CreateEvent failed";
    return false;
  }
  std::wstring command = CommandLine(SiblingPath(L"standin_messenger.exe"), options, logPath, eventName);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    why = "CreateProcess failed: " + std::to_string(GetLastError());
    CloseHandle(ready);
    process = PROCESS_INFORMATION{};
    return false;
  }
  const HANDLE waits[] = {ready, process.hProcess};
  const int signalled = PumpUntil(2, waits, timeoutMs);
  CloseHandle(ready);
  if (signalled == 0) return true;
  why = signalled == 1 ? "the stand-in exited with " + std::to_string(ExitCode()) : std::string("not ready in time");
  why += "; log:\n" + LogText();
  Stop(0);
  return false;
}

bool MessengerProcess::Stop(DWORD timeoutMs) {
  if (!process.hProcess) return true;
  bool byItself = true;
  if (IsRunning()) {
    if (HWND main = MainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
    if (PumpUntil(1, &process.hProcess, timeoutMs) != 0) {
      byItself = false;
      TerminateProcess(process.hProcess, 3);
      WaitForSingleObject(process.hProcess, 5000);
    }
  }
  if (!byItself && !options.keepKey) DeleteProfileKey(options.profile);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  process = PROCESS_INFORMATION{};
  return byItself;
}

bool MessengerProcess::IsRunning() const { return ExitCode() == STILL_ACTIVE; }

DWORD MessengerProcess::ExitCode() const {
  DWORD code = 0;
  if (!process.hProcess || !GetExitCodeProcess(process.hProcess, &code)) return 0;
  return code;
}

DWORD MessengerProcess::ProcessId() const { return process.dwProcessId; }

HWND MessengerProcess::MainWindow() const {
  if (!process.hProcess) return nullptr;
  FindMain search = {process.dwProcessId, nullptr};
  EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<std::string> MessengerProcess::Lines() const {
  std::vector<std::string> lines;
  if (logPath.empty()) return lines;
  HANDLE file = CreateFileW(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  // Only whole lines: the stand-in may be writing one right now.
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int MessengerProcess::WaitForLine(const std::string& prefix, size_t from, DWORD timeoutMs) const {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const std::vector<std::string> lines = Lines();
    for (size_t i = from; i < lines.size(); ++i)
      if (lines[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    if (GetTickCount64() >= deadline) return -1;
    PumpUntil(0, nullptr, 10);  // a short poll; the stand-in only appends
  }
}

std::string MessengerProcess::LogText() const {
  std::string text;
  for (const std::string& line : Lines()) text += line + "\n";
  return text;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  return out;
}

std::string HexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return out;
}

std::string RecordLine(const std::string& text, int icon, bool headphones, const std::string& dnd, bool binEqual) {
  return "record text=" + HexBytes(text) + " icon=" + std::to_string(icon) + " headphones=" +
         (headphones ? "1" : "0") + " dnd=" + dnd + " bin-equal=" + (binEqual ? "1" : "0");
}

std::string ProfileKeyPath(const std::string& profile) {
  return "Software\\Yahoo\\Pager\\profiles\\" + profile + "\\Custom Msgs";
}

bool ReadProfileValues(const std::string& profile, std::vector<RegistryValue>* values) {
  values->clear();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKeyPath(profile).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    RegistryValue value;
    value.name.assign(name, nameLength);
    value.type = type;
    value.data.resize(size);
    nameLength = sizeof name;
    RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                  size ? reinterpret_cast<BYTE*>(&value.data[0]) : nullptr, &size);
    value.data.resize(size);
    values->push_back(value);
  }
  RegCloseKey(key);
  std::sort(values->begin(), values->end(),
            [](const RegistryValue& a, const RegistryValue& b) { return a.name < b.name; });
  return true;
}

bool ProfileKeyExists(const std::string& profile) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKeyPath(profile).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void DeleteProfileKey(const std::string& profile) {
  RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Yahoo\\Pager\\profiles\\" + profile).c_str());
}
