// The stand-in player's main window, its answers to the plug-in's queries,
// and the plug-in's loading and entries.
#include "standin_player.h"

#include <objbase.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace standin {

namespace {

// The real player's main window class: setup programs look for it to tell
// whether the player is running.
const wchar_t kWindowClass[] = L"Winamp v1.x";
const UINT_PTR kRepaintTimer = 1;
const UINT_PTR kPressTimer = 2;  // runs while a script's key presses are ahead

// The player whose heartbeat runs: a thread timer's callback has no window
// to find it by.
StandInPlayer* g_heartbeatPlayer = nullptr;

// The plug-in's queries (lParam of WM_USER).
enum : intptr_t {
  kVersion = 0,
  kPlaylistPosition = 125,
  kEntryTitle = 212,
  kEntryWideTitle = 213,
  kPlaybackTime = 105,
  kPlaybackState = 104,
  kStreamInfo = 126,
  kPlaylistLength = 124,
  kSettingsDirectory = 335,
  kEntryFileName = 211,
  kEntryWideFileName = 214,
  kFileTag = 290,
  kWideFileTag = 3026,
  kVideo = 501,
  kNamedMessage = StandInPlayer::kNamedMessageRequest,
  kHotkeyAdd = StandInPlayer::kHotkeyAddMessage,
};

// What a file-tag request points at: the file, the tag's name, and where the
// tag goes (retlen units, the zero included), in 8-bit or in wide text.
template <typename Char>
struct FileTagRequest {
  const Char* filename;
  const Char* metadata;
  Char* ret;
  size_t retlen;
};

std::wstring Widen(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size > 0 ? size : 0, L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

std::string Narrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  // What a player does to show a title in the ANSI code page: whatever the
  // code page cannot hold becomes '?' (the default character is not allowed
  // for UTF-8).
  const char* unmappable = codePage == CP_UTF8 ? nullptr : "?";
  const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       unmappable, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size, unmappable, nullptr);
  return out;
}

bool IsUtf8(const std::string& text) {
  return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

// A script title is UTF-8 text, or, when it is not valid UTF-8, text in the
// ANSI code page: these give the forms the host holds of it.
std::wstring WideTitle(const std::string& title) { return Widen(IsUtf8(title) ? CP_UTF8 : CP_ACP, title); }
std::string AnsiTitle(const std::string& title) {
  return IsUtf8(title) ? Narrow(CP_ACP, Widen(CP_UTF8, title)) : title;
}

int64_t MicrosecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  // Set once, safely: a watchdog thread reads the time too.
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value;
  }();
  return (to.QuadPart - from.QuadPart) * 1000000 / frequency.QuadPart;
}

// The only name request 65536 knows. The plug-in's text is read no further
// than this name's length and zero.
bool IsHotkeyServiceName(intptr_t argument) {
  static const char kName[] = "GenHotkeysAdd";
  return argument != 0 && strncmp(reinterpret_cast<const char*>(argument), kName, sizeof kName) == 0;
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
ComApartment::~ComApartment() { Leave(); }

void ComApartment::Leave() {
  if (ok) CoUninitialize();
  ok = false;
}

StandInPlayer::StandInPlayer() { QueryPerformanceCounter(&createdAt); }

StandInPlayer::~StandInPlayer() {
  Close();
  if (heartbeatTimer != 0) KillTimer(nullptr, heartbeatTimer);
  if (g_heartbeatPlayer == this) g_heartbeatPlayer = nullptr;
}

void StandInPlayer::Close() {
  if (started) StopPlugin();
  UnloadPlugin();
  ListHotkeyActions();  // saving the bindings at exit reads every record
  if (window != nullptr) DestroyWindow(window);
  window = nullptr;
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
  for (const ScriptEvent& event : script.events) {
    if (event.kind != EventKind::Press) continue;
    SetTimer(window, kPressTimer, 10, nullptr);
    break;
  }
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

void StandInPlayer::SetAnswerOverride(intptr_t request, intptr_t result) {
  for (AnswerOverride& fixed : overrides) {
    if (fixed.request == request) {
      fixed.result = result;
      return;
    }
  }
  overrides.push_back(AnswerOverride{request, result});
}

LRESULT CALLBACK StandInPlayer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  StandInPlayer* player = reinterpret_cast<StandInPlayer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_USER:
      player->RunQueryHook(static_cast<intptr_t>(wParam), static_cast<intptr_t>(lParam));
      return player->Answer(wParam, lParam);
    case WM_TIMER:
      if (wParam == kRepaintTimer) InvalidateRect(window, nullptr, TRUE);
      else if (wParam == kPressTimer) player->PressDueHotkeys();
      return 0;
    case WM_PAINT:
      player->Paint();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void StandInPlayer::RunQueryHook(intptr_t wParam, intptr_t request) {
  if (!queryHook || inQueryHook) return;
  // A copy runs: the hook may replace or clear itself while it runs.
  const QueryHook hook = queryHook;
  inQueryHook = true;
  hook(wParam, request);
  inQueryHook = false;
}

// The address of text as wide text or in the ANSI code page, kept in *wideOut
// or *ansiOut until the next answer there.
static intptr_t KeptText(bool wide, const std::string& text, std::string* ansiOut, std::wstring* wideOut) {
  if (wide) {
    *wideOut = WideTitle(text);
    return reinterpret_cast<intptr_t>(wideOut->c_str());
  }
  *ansiOut = AnsiTitle(text);
  return reinterpret_cast<intptr_t>(ansiOut->c_str());
}

// Copies text into the request's buffer, cut to what it holds; or, whole,
// as much of a long text as the buffer holds, without the zero.
template <typename Char, typename Text>
static void FillTag(const FileTagRequest<Char>& request, const Text& text, bool whole) {
  if (request.ret == nullptr || request.retlen == 0) return;
  if (whole && text.size() >= request.retlen) {
    std::copy(text.begin(), text.begin() + request.retlen, request.ret);
    return;
  }
  const size_t length = text.size() < request.retlen - 1 ? text.size() : request.retlen - 1;
  std::copy(text.begin(), text.begin() + length, request.ret);
  request.ret[length] = 0;
}

// The tag a file-tag request names, or the id text of the hotkey action a
// registration hands over, for the log.
static std::string TagName(intptr_t request, intptr_t argument) {
  if (argument == 0) return std::string();
  if (request == kHotkeyAdd) {
    const char* id = reinterpret_cast<const HotkeyAction*>(argument)->id;
    return id != nullptr ? id : "";
  }
  if (request == kWideFileTag) return Narrow(CP_UTF8, reinterpret_cast<const FileTagRequest<wchar_t>*>(argument)->metadata);
  return reinterpret_cast<const FileTagRequest<char>*>(argument)->metadata;
}

// Answers 1 and fills ret for a file of the playlist, whether or not it has
// the tag (an empty one then); 0 for a file the player does not know.
intptr_t StandInPlayer::FileTagAnswer(intptr_t request, intptr_t argument) const {
  if (argument == 0) return 0;
  const bool wide = request == kWideFileTag;
  const auto* ansi = reinterpret_cast<const FileTagRequest<char>*>(argument);
  const auto* wideRequest = reinterpret_cast<const FileTagRequest<wchar_t>*>(argument);
  const std::string tagName = TagName(request, argument);
  for (const PlaylistEntry& entry : script.playlist) {
    if (wide ? WideTitle(entry.fileName) != wideRequest->filename : AnsiTitle(entry.fileName) != ansi->filename)
      continue;
    std::string value;
    for (const FileTag& tag : entry.tags)
      if (tag.name == tagName) value = tag.value;
    if (wide) FillTag(*wideRequest, WideTitle(value), fillsTagBuffersWhole);
    else FillTag(*ansi, AnsiTitle(value), fillsTagBuffersWhole);
    return 1;
  }
  return 0;
}

intptr_t StandInPlayer::Answer(WPARAM wParam, LPARAM lParam) {
  const int64_t clockMs = clock.NowMs();
  const intptr_t argument = static_cast<intptr_t>(wParam);
  const intptr_t request = static_cast<intptr_t>(lParam);
  intptr_t result = 0;
  const bool overridden = FindOverride(request, &result);
  const bool fileTag = request == kFileTag || request == kWideFileTag;
  if (!overridden) result = fileTag ? FileTagAnswer(request, argument) : RealAnswer(argument, request, StateAt(script, clockMs));
  const bool tagged = fileTag || request == kHotkeyAdd;
  queries.push_back(QueryRecord{RealUs(), clockMs, argument, request, result, tagged ? TagName(request, argument) : ""});
  if (printQueries) PrintQuery(queries.back(), overridden);
  return result;
}

bool StandInPlayer::FindOverride(intptr_t request, intptr_t* result) const {
  for (const AnswerOverride& fixed : overrides) {
    if (fixed.request != request) continue;
    *result = fixed.result;
    return true;
  }
  return false;
}

intptr_t StandInPlayer::RealAnswer(intptr_t argument, intptr_t request, const PlaybackState& state) {
  const PlaylistEntry& entry = script.playlist[state.entry];
  switch (request) {
    case kPlaylistPosition:
      return state.entry;
    case kEntryTitle:
    case kEntryWideTitle:
      if (argument < 0 || argument >= static_cast<intptr_t>(script.playlist.size())) return 0;
      return KeptText(request == kEntryWideTitle, argument == state.entry ? state.title : script.playlist[argument].title,
                      &titleAnswer, &wideTitleAnswer);
    case kPlaybackTime:
      return argument == 0 ? state.positionMs : argument == 1 ? entry.lengthSeconds : 0;
    case kPlaybackState:
      return argument == 0 ? static_cast<intptr_t>(state.mode) : 0;
    case kStreamInfo:
      return argument == 0 ? entry.sampleRateKhz : argument == 1 ? entry.bitrateKbps : 0;
    case kPlaylistLength:
      return static_cast<intptr_t>(script.playlist.size());
    case kEntryFileName:
    case kEntryWideFileName:
      if (argument < 0 || argument >= static_cast<intptr_t>(script.playlist.size())) return 0;
      return KeptText(request == kEntryWideFileName, script.playlist[argument].fileName, &fileNameAnswer,
                      &wideFileNameAnswer);
    case kVersion:
      return argument == 0 ? kHostVersion : 0;
    case kSettingsDirectory:
      if (argument != 0 || settingsDirectory.empty()) return 0;
      return reinterpret_cast<intptr_t>(settingsDirectory.c_str());
    case kVideo:
      return argument == 0 && entry.video ? 2 : 0;
    case kNamedMessage:
      return IsHotkeyServiceName(argument) ? StandInPlayer::kHotkeyAddMessage : 0;
    case kHotkeyAdd:
      KeepHotkeyAction(argument);
      return 0;  // posted: nobody waits for an answer
    default:
      return 0;  // as a host that does not know the request
  }
}

// One line a query; the texts answered by address are shown as UTF-8.
void StandInPlayer::PrintQuery(const QueryRecord& query, bool overridden) const {
  printf("query %lld.%03lld ms clock %lld: wParam %lld request %lld -> ", static_cast<long long>(query.realUs / 1000),
         static_cast<long long>(query.realUs % 1000), static_cast<long long>(query.clockMs),
         static_cast<long long>(query.wParam), static_cast<long long>(query.request));
  if (query.result == 0 || overridden) {
    printf("%lld%s\n", static_cast<long long>(query.result), overridden ? " (override)" : "");
    return;
  }
  auto ansi = [](const std::string& text) { printf("\"%s\"\n", Narrow(CP_UTF8, Widen(CP_ACP, text)).c_str()); };
  auto wide = [](const std::wstring& text) { printf("L\"%s\"\n", Narrow(CP_UTF8, text).c_str()); };
  switch (query.request) {
    case kEntryTitle: ansi(titleAnswer); break;
    case kEntryWideTitle: wide(wideTitleAnswer); break;
    case kSettingsDirectory: ansi(settingsDirectory); break;
    case kEntryFileName: ansi(fileNameAnswer); break;
    case kEntryWideFileName: wide(wideFileNameAnswer); break;
    case kFileTag:
    case kWideFileTag:
    case kHotkeyAdd:
      printf("%lld (%s)\n", static_cast<long long>(query.result), query.tag.c_str());
      break;
    default:
      printf("%lld\n", static_cast<long long>(query.result));
      break;
  }
}

void StandInPlayer::KeepHotkeyAction(intptr_t argument) {
  const HotkeyAction* action = reinterpret_cast<const HotkeyAction*>(argument);
  if (action == nullptr || std::find(hotkeyActions.begin(), hotkeyActions.end(), action) != hotkeyActions.end()) return;
  hotkeyActions.push_back(action);
}

std::vector<StandInPlayer::ListedHotkeyAction> StandInPlayer::ListHotkeyActions() const {
  std::vector<ListedHotkeyAction> listed;
  for (const HotkeyAction* action : hotkeyActions)
    listed.push_back({action->name != nullptr ? action->name : "", action->id != nullptr ? action->id : "", action->wnd});
  return listed;
}

const HotkeyAction* StandInPlayer::FindHotkeyAction(const std::string& id) const {
  for (const HotkeyAction* action : hotkeyActions)
    if (action->id != nullptr && id == action->id) return action;
  return nullptr;
}

bool StandInPlayer::PressHotkey(const std::string& id) {
  const HotkeyAction* action = FindHotkeyAction(id);
  if (action == nullptr || !IsWindow(action->wnd)) return false;
  SendMessageA(action->wnd, action->uMsg, action->wParam, action->lParam);
  return true;
}

void StandInPlayer::PressDueHotkeys() {
  const int64_t nowMs = clock.NowMs();
  // Each event is passed before its press: the plug-in may pump messages
  // while it handles one, and this timer must not press it again.
  while (eventsDueForPresses < script.events.size() && script.events[eventsDueForPresses].atMs <= nowMs) {
    const ScriptEvent& event = script.events[eventsDueForPresses++];
    if (event.kind == EventKind::Press) PressHotkey(event.hotkey);
  }
  if (eventsDueForPresses == script.events.size()) KillTimer(window, kPressTimer);
}

void StandInPlayer::StartHeartbeat() {
  lastHeartbeatUs = RealUs();
  longestHeartbeatGapUs = 0;
  g_heartbeatPlayer = this;
  if (heartbeatTimer == 0) heartbeatTimer = SetTimer(nullptr, 0, 10, &StandInPlayer::OnHeartbeat);
}

void CALLBACK StandInPlayer::OnHeartbeat(HWND, UINT, UINT_PTR, DWORD) {
  if (g_heartbeatPlayer != nullptr) g_heartbeatPlayer->Heartbeat();
}

void StandInPlayer::Heartbeat() {
  const int64_t nowUs = RealUs();
  const int64_t gapUs = nowUs - lastHeartbeatUs;
  if (gapUs > longestHeartbeatGapUs) longestHeartbeatGapUs = gapUs;
  lastHeartbeatUs = nowUs;
}

void StandInPlayer::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const PlaybackState state = State();
  const PlaylistEntry& entry = script.playlist[state.entry];
  const wchar_t* doing = state.mode == PlayMode::Playing  ? L"Playing "
                         : state.mode == PlayMode::Paused ? L"Paused: "
                         : state.ended                    ? L"Stopped after "
                         : state.eventsReached > 0        ? L"Stopped: "
                                                          : L"Ready: ";
  const std::wstring line1 = doing + std::to_wstring(state.entry + 1) + L". " + WideTitle(state.title);
  std::string line2 = FormatPosition(state.positionMs) +
                      (entry.lengthSeconds >= 0 ? " / " + FormatPosition(int64_t{entry.lengthSeconds} * 1000) : "") +
                      "   " + std::to_string(entry.bitrateKbps) + " kbps, " + std::to_string(entry.sampleRateKhz) +
                      " kHz";
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, 12, 360, line1.c_str(), static_cast<int>(line1.size()));
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

int StandInPlayer::UninstallPlugin(HWND preferencesPage) {
  typedef int(__cdecl * UninstallFn)(HINSTANCE, HWND, int);
  FARPROC entry = GetProcAddress(module, "winampUninstallPlugin");
  if (entry == nullptr) return -1;
  return reinterpret_cast<UninstallFn>(reinterpret_cast<void (*)()>(entry))(module, preferencesPage, 0);
}

void StandInPlayer::UnloadPlugin() {
  started = false;  // nothing to stop once it is gone
  if (module == nullptr) return;
  FreeLibrary(module);
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
