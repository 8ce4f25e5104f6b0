// The stand-in player's main window, its answers to the plug-in's queries,
// and the plug-in's loading and entries.
#include "standin_player.h"

#include <objbase.h>
#include <stdio.h>

namespace standin {

namespace {

const wchar_t kWindowClass[] = L"TavrinStandInPlayer";
const UINT_PTR kRepaintTimer = 1;

// The plug-in's queries (lParam of WM_USER).
enum : intptr_t {
  kPlaylistPosition = 125,
  kEntryTitle = 212,
  kPlaybackTime = 105,
  kPlaybackState = 104,
  kStreamInfo = 126,
  kPlaylistLength = 124,
};

int64_t MicrosecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  return (to.QuadPart - from.QuadPart) * 1000000 / frequency.QuadPart;
}

bool RegisterWindowClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window in Create
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  registered = RegisterClassExW(&windowClass) != 0;
  return registered;
}

}  // namespace

void PlayerClock::Set(int64_t ms) {
  baseMs = ms;
  speed = 0;
}

void PlayerClock::Run(double newSpeed) {
  baseMs = NowMs();
  speed = newSpeed;
  QueryPerformanceCounter(&runSince);
}

int64_t PlayerClock::NowMs() const {
  if (speed == 0) return baseMs;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return baseMs + static_cast<int64_t>(static_cast<double>(MicrosecondsBetween(runSince, now)) * speed / 1000.0);
}

ComApartment::ComApartment() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
ComApartment::~ComApartment() {
  if (ok) CoUninitialize();
}

StandInPlayer::StandInPlayer() { QueryPerformanceCounter(&createdAt); }

StandInPlayer::~StandInPlayer() {
  if (started) StopPlugin();
  UnloadPlugin();
  if (window != nullptr) DestroyWindow(window);
}

bool StandInPlayer::Create(const PlayerScript& newScript, std::string* error) {
  script = newScript;
  if (!RegisterWindowClass()) {
    if (error != nullptr) *error = "cannot register the window class";
    return false;
  }
  window = CreateWindowExW(0, kWindowClass, L"Stand-in Player", WS_OVERLAPPEDWINDOW, 40, 40, 640, 480, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    if (error != nullptr) *error = "cannot create the main window (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StandInPlayer::WindowProc));
  ShowWindow(window, SW_SHOWNORMAL);
  SetTimer(window, kRepaintTimer, 250, nullptr);
  return true;
}

int64_t StandInPlayer::RealUs() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return MicrosecondsBetween(createdAt, now);
}

size_t StandInPlayer::CountQueries(intptr_t request) const {
  size_t count = 0;
  for (const QueryRecord& query : queries)
    if (query.request == request) ++count;
  return count;
}

LRESULT CALLBACK StandInPlayer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  StandInPlayer* player = reinterpret_cast<StandInPlayer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_USER:
      return player->Answer(wParam, lParam);
    case WM_TIMER:
      if (wParam == kRepaintTimer) InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      player->Paint();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

intptr_t StandInPlayer::Answer(WPARAM wParam, LPARAM request) {
  const int64_t clockMs = clock.NowMs();
  const PlaybackState state = StateAt(script, clockMs);
  const PlaylistEntry& entry = script.playlist[state.entry];
  const intptr_t argument = static_cast<intptr_t>(wParam);
  intptr_t result = 0;
  switch (request) {
    case kPlaylistPosition:
      result = state.entry;
      break;
    case kEntryTitle:
      if (argument >= 0 && argument < static_cast<intptr_t>(script.playlist.size())) {
        titleAnswer = argument == state.entry ? state.title : script.playlist[argument].title;
        result = reinterpret_cast<intptr_t>(titleAnswer.c_str());
      }
      break;
    case kPlaybackTime:
      result = argument == 0 ? state.positionMs : argument == 1 ? entry.lengthSeconds : 0;
      break;
    case kPlaybackState:
      result = argument == 0 ? static_cast<intptr_t>(state.mode) : 0;
      break;
    case kStreamInfo:
      result = argument == 0 ? entry.sampleRateKhz : argument == 1 ? entry.bitrateKbps : 0;
      break;
    case kPlaylistLength:
      result = static_cast<intptr_t>(script.playlist.size());
      break;
    default:
      break;
  }
  queries.push_back(QueryRecord{RealUs(), clockMs, argument, static_cast<intptr_t>(request), result});
  if (printQueries) {
    printf("query %lld.%03lld ms clock %lld: wParam %lld request %lld -> ", static_cast<long long>(queries.back().realUs / 1000),
           static_cast<long long>(queries.back().realUs % 1000), static_cast<long long>(clockMs),
           static_cast<long long>(argument), static_cast<long long>(request));
    if (request == kEntryTitle && result != 0)
      printf("\"%s\"\n", titleAnswer.c_str());
    else
      printf("%lld\n", static_cast<long long>(result));
  }
  return result;
}

void StandInPlayer::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const PlaybackState state = State();
  const PlaylistEntry& entry = script.playlist[state.entry];
  const char* doing = state.mode == PlayMode::Playing  ? "Playing "
                      : state.mode == PlayMode::Paused ? "Paused: "
                      : state.ended                    ? "Stopped after "
                      : state.eventsReached > 0        ? "Stopped: "
                                                       : "Ready: ";
  std::string line1 = doing + std::to_string(state.entry + 1) + ". " + state.title;
  std::string line2 = FormatPosition(state.positionMs) +
                      (entry.lengthSeconds >= 0 ? " / " + FormatPosition(int64_t{entry.lengthSeconds} * 1000) : "") +
                      "   " + std::to_string(entry.bitrateKbps) + " kbps, " + std::to_string(entry.sampleRateKhz) +
                      " kHz";
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 12, 360, line1.c_str(), static_cast<int>(line1.size()));
  TextOutA(dc, 12, 384, line2.c_str(), static_cast<int>(line2.size()));
  EndPaint(window, &paint);
}

bool StandInPlayer::LoadPlugin(const std::wstring& path, std::string* error) {
  auto fail = [error](const std::string& reason) {
    if (error != nullptr) *error = reason;
    return false;
  };
  module = LoadLibraryW(path.c_str());
  if (module == nullptr) return fail("cannot load the plug-in (error " + std::to_string(GetLastError()) + ")");
  typedef HostPluginRecord* (*GetPluginFn)();
  FARPROC getter = GetProcAddress(module, "winampGetGeneralPurposePlugin");
  if (getter == nullptr) return fail("the plug-in does not export winampGetGeneralPurposePlugin");
  // A host can only learn the entry's type from the contract; void(*)() is
  // the one function pointer type every other converts through cleanly.
  GetPluginFn getPlugin = reinterpret_cast<GetPluginFn>(reinterpret_cast<void (*)()>(getter));
  record = getPlugin();
  if (record == nullptr) return fail("the plug-in returned no record");
  if (record->version != 0x10) return fail("the plug-in's record has version " + std::to_string(record->version));
  record->hostWindow = window;
  record->moduleInstance = module;
  return true;
}

int StandInPlayer::StartPlugin() {
  started = true;
  return record->start();
}

void StandInPlayer::ConfigurePlugin() { record->configure(); }

void StandInPlayer::StopPlugin() {
  started = false;
  record->stop();
}

void StandInPlayer::UnloadPlugin() {
  if (module != nullptr) FreeLibrary(module);
  module = nullptr;
  record = nullptr;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD startedAt = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      if (done()) return true;
    }
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - startedAt;
    if (elapsed >= timeoutMs) return false;
    // Wake at least every 20 ms: a condition may hang on the clock alone.
    const DWORD slice = timeoutMs - elapsed < 20 ? timeoutMs - elapsed : 20;
    MsgWaitForMultipleObjectsEx(0, nullptr, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  size_t slash = directory.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : directory.substr(0, slash + 1);
}

}  // namespace standin
