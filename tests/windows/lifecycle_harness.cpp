#include "lifecycle_harness.h"

#include <stdio.h>

namespace harness {

namespace {

// Where the plug-in was mapped: kept after it is unloaded, so that a timer or
// a return into its unmapped code still counts as a fault in the plug-in.
const BYTE* g_pluginBase = nullptr;
size_t g_pluginSize = 0;
LONG g_faultsInPlugin = 0;
PVOID g_faultHandler = nullptr;

void RememberPluginRange(HMODULE module) {
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  g_pluginBase = base;
  g_pluginSize = nt->OptionalHeader.SizeOfImage;
}

bool InPlugin(const void* address) {
  const BYTE* at = static_cast<const BYTE*>(address);
  return g_pluginBase != nullptr && at >= g_pluginBase && at < g_pluginBase + g_pluginSize;
}

LONG CALLBACK CountPluginFaults(EXCEPTION_POINTERS* exception) {
  switch (exception->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      if (InPlugin(exception->ExceptionRecord->ExceptionAddress)) InterlockedIncrement(&g_faultsInPlugin);
      break;
    default:
      break;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c);
  return out;
}

DialogDriver* g_activeDriver = nullptr;

}  // namespace

std::wstring PluginPath() { return standin::ProgramDirectory() + L"gen_Tavrin.dll"; }
std::wstring SettingsPath() { return standin::ProgramDirectory() + L"gen_Tavrin.ini"; }

std::string SettingsBytes(const std::string& format, int enabled, int icon, int headphones, int interval, int utf8) {
  std::string bytes = format;
  bytes += '\x03';
  for (int value : {enabled, icon, headphones, interval, utf8}) bytes += static_cast<char>(value);
  bytes += '\0';
  return bytes;
}

bool ReadSettingsFile(std::string* bytes) {
  FILE* file = _wfopen(SettingsPath().c_str(), L"rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[1024];
  for (size_t read; (read = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes->append(buffer, read);
  fclose(file);
  return true;
}

void WriteSettingsFile(const std::string& bytes, const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

void DeleteSettingsFile() { DeleteFileW(SettingsPath().c_str()); }

SettingsFileGuard::SettingsFileGuard() : existed(ReadSettingsFile(&bytes)) { DeleteSettingsFile(); }

SettingsFileGuard::~SettingsFileGuard() {
  if (existed)
    WriteSettingsFile(bytes);
  else
    DeleteSettingsFile();
}

standin::PlayerScript OneTrack(const std::string& title, int lengthSeconds, int positionMs) {
  standin::PlayerScript script;
  std::string error;
  standin::ParsePlayerScript("entry " + std::to_string(lengthSeconds) + " 192 44 " + title + "\nat 0 play 0 " +
                                 std::to_string(positionMs) + "\n",
                             &script, &error);
  return script;
}

PluginHost::PluginHost(const standin::PlayerScript& script) {
  if (g_faultHandler == nullptr) g_faultHandler = AddVectoredExceptionHandler(1, CountPluginFaults);
  if (!apartment.Ok()) {
    error = "COM did not initialise";
    return;
  }
  if (!player.Create(script, &error)) return;
  loaded = player.LoadPlugin(PluginPath(), &error);
  if (loaded) RememberPluginRange(GetModuleHandleW(PluginPath().c_str()));
}

PluginHost::~PluginHost() {
  if (started) Stop();
  player.UnloadPlugin();
}

bool PluginHost::Ok(std::string* reason) const {
  if (reason != nullptr) *reason = error + " (" + Narrow(PluginPath()) + ")";
  return loaded;
}

bool PluginHost::WaitForTicks(size_t count, DWORD timeoutMs) {
  const size_t target = Ticks() + count;
  return standin::PumpUntil([&] { return Ticks() >= target; }, timeoutMs);
}

std::vector<int64_t> PluginHost::TickTimesUs() const {
  std::vector<int64_t> times;
  for (const standin::QueryRecord& query : player.Queries())
    if (query.request == 125) times.push_back(query.realUs);
  return times;
}

int PluginHost::FaultsInPlugin() { return g_faultsInPlugin; }

std::string PluginHost::Requests() const {
  std::string requests;
  for (const standin::QueryRecord& query : player.Queries()) {
    if (!requests.empty()) requests += ' ';
    requests += std::to_string(query.request);
    if (!query.tag.empty()) requests += ":" + query.tag;
    else if (query.wParam != 0 && query.request < standin::StandInPlayer::kNamedMessageRequest)
      requests += "/" + std::to_string(query.wParam);
  }
  return requests;
}

int g_expiries = 0;
void CALLBACK CountExpiry(HWND, UINT, UINT_PTR, DWORD) { ++g_expiries; }

void PumpForTimerPeriods(int periods, DWORD periodMs) {
  g_expiries = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, periodMs, CountExpiry);
  standin::PumpUntil([&] { return g_expiries >= periods; }, periods * periodMs * 20 + 2000);
  KillTimer(nullptr, timer);
}

void DialogDriver::Run(standin::StandInPlayer* player, const std::vector<Step>& newSteps, DWORD newTimeoutMs) {
  RunModal(player->Window(), [player] { player->ConfigurePlugin(); }, newSteps, newTimeoutMs);
}

void DialogDriver::RunModal(HWND newOwner, const std::function<void()>& call, const std::vector<Step>& newSteps,
                            DWORD newTimeoutMs) {
  steps = newSteps;
  nextStep = 0;
  owner = newOwner;
  dialog = nullptr;
  dialogSeen = false;
  timedOut = false;
  startedAt = GetTickCount();
  timeoutMs = newTimeoutMs;
  DialogDriver* outer = g_activeDriver;
  g_activeDriver = this;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTimer);
  call();
  KillTimer(nullptr, timer);
  g_activeDriver = outer;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  if (g_activeDriver != nullptr) g_activeDriver->Tick(timer);
}

void DialogDriver::Tick(UINT_PTR) {
  if (dialog == nullptr || !IsWindow(dialog)) {
    dialog = nullptr;
    for (HWND found = FindWindowExA(nullptr, nullptr, "#32770", nullptr); found != nullptr;
         found = FindWindowExA(nullptr, found, "#32770", nullptr)) {
      if (GetWindow(found, GW_OWNER) == owner) dialog = found;
    }
    if (dialog == nullptr) return;
    dialogSeen = true;
  }
  if (GetTickCount() - startedAt > timeoutMs) {
    if (!timedOut) EndDialog(dialog, IDCANCEL);  // a message box without Cancel ignores IDCANCEL
    timedOut = true;
    return;
  }
  if (nextStep < steps.size() && steps[nextStep](dialog)) ++nextStep;
}

std::string ControlText(HWND dialog, int control) {
  HWND window = GetDlgItem(dialog, control);
  const int length = GetWindowTextLengthA(window);
  std::string text(length + 1, '\0');
  GetWindowTextA(window, &text[0], length + 1);
  text.resize(length);
  return text;
}

void SetControlText(HWND dialog, int control, const std::string& text) { SetDlgItemTextA(dialog, control, text.c_str()); }

void Click(HWND dialog, int control) { SendDlgItemMessageA(dialog, control, BM_CLICK, 0, 0); }

bool IsChecked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void SetChecked(HWND dialog, int control, bool checked) {
  CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace harness
