// standin_player: plays the host for a general-purpose plug-in. Loads the
// plug-in, plays a scripted playlist on a fast clock while the plug-in ticks,
// optionally opens its settings dialog (for a screenshot, and a second one
// after typing a template into it), stops it, and prints a timeline; with
// --heartbeat, also the longest its UI thread stood still. Options: README.md.
#include "standin_player.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

using standin::EventKind;
using standin::PlaybackState;
using standin::ScriptEvent;
using standin::StandInPlayer;

const char kUsage[] =
    "usage: standin_player [--plugin=PATH] [--script=FILE] [--speed=X] [--configure-at=MS]\n"
    "         [--screenshot-dir=DIR] [--dialog-seconds=N] [--messenger-log=FILE] [--print-queries]\n"
    "         [--max-seconds=N] [--settings-dir=PATH] [--heartbeat] [--max-stall-seconds=N]\n"
    "         [--type-in-dialog=TEXT]\n";

struct Options {
  std::wstring plugin;
  std::wstring script;  // empty: the built-in playlist
  double speed = 20;
  long long configureAtMs = -1;
  std::wstring screenshotDir;
  double dialogSeconds = 2;
  std::wstring messengerLog;
  bool printQueries = false;
  double maxSeconds = 120;
  std::wstring settingsDir;  // empty: request 335 is answered 0
  bool heartbeat = false;
  double maxStallSeconds = 20;
  std::wstring typeInDialog;  // typed into the dialog's template after its first look
};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// A wide text in a code page: UTF-8 for the timeline, ANSI for a path as the
// host hands it to plug-ins.
std::string InCodePage(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

bool ParseOptions(Options* options) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return false;
  bool good = true;
  for (int i = 1; i < count && good; ++i) {
    const std::wstring argument = arguments[i];
    const size_t equals = argument.find(L'=');
    const std::wstring name = argument.substr(0, equals);
    const std::wstring value = equals == std::wstring::npos ? std::wstring() : argument.substr(equals + 1);
    if (name == L"--plugin") options->plugin = value;
    else if (name == L"--script") options->script = value;
    else if (name == L"--speed") options->speed = _wtof(value.c_str());
    else if (name == L"--configure-at") options->configureAtMs = _wtoi64(value.c_str());
    else if (name == L"--screenshot-dir") options->screenshotDir = value;
    else if (name == L"--dialog-seconds") options->dialogSeconds = _wtof(value.c_str());
    else if (name == L"--messenger-log") options->messengerLog = value;
    else if (name == L"--print-queries") options->printQueries = true;
    else if (name == L"--max-seconds") options->maxSeconds = _wtof(value.c_str());
    else if (name == L"--settings-dir") options->settingsDir = value;
    else if (name == L"--heartbeat") options->heartbeat = true;
    else if (name == L"--max-stall-seconds") options->maxStallSeconds = _wtof(value.c_str());
    else if (name == L"--type-in-dialog") options->typeInDialog = value;
    else good = false;
  }
  LocalFree(arguments);
  if (options->plugin.empty()) options->plugin = standin::ProgramDirectory() + L"gen_Tavrin.dll";
  return good && options->speed > 0 && options->maxStallSeconds > 0;
}

// The timeline: seconds since the start, who, what.
StandInPlayer* g_player = nullptr;

std::string TimelineLine(const char* who, const std::string& what) {
  char when[48];
  snprintf(when, sizeof when, "%7.2fs  %-9s  ", static_cast<double>(g_player->RealUs()) / 1e6, who);
  return when + what + "\n";
}

void Say(const char* who, const std::string& what) {
  fputs(TimelineLine(who, what).c_str(), stdout);
  fflush(stdout);
}

std::string Describe(const ScriptEvent& event, const PlaybackState& after, const StandInPlayer& player) {
  const size_t entries = player.Script().playlist.size();
  switch (event.kind) {
    case EventKind::Play:
      return "plays " + std::to_string(event.entry + 1) + "/" + std::to_string(entries) + " \"" + after.title +
             "\" from " + standin::FormatPosition(event.positionMs) +
             (player.Script().playlist[event.entry].video ? " (a video)" : "");
    case EventKind::Seek:
      return "seeks to " + standin::FormatPosition(event.positionMs);
    case EventKind::Pause:
      return "pauses at " + standin::FormatPosition(after.positionMs);
    case EventKind::Resume:
      return "resumes from " + standin::FormatPosition(after.positionMs);
    case EventKind::Stop:
      return "stops (position back to 0:00)";
    case EventKind::Title:
      return "stream title \"" + event.title + "\"";
    case EventKind::TitleClear:
      return "stream title back to \"" + after.title + "\"";
    case EventKind::Press: {
      const standin::HotkeyAction* action = player.FindHotkeyAction(event.hotkey);
      if (action == nullptr) return "presses a key bound to \"" + event.hotkey + "\", which nothing registered";
      return std::string("presses the key bound to ") + (action->name != nullptr ? action->name : event.hotkey.c_str());
    }
    case EventKind::End:
      return "stops playing";
  }
  return std::string();
}

// A messenger log line for people: what the command means, the record's
// icons (its text follows on the "shown" line).
std::string Readable(const std::string& line) {
  if (line == "command 391") return "command 391: apply custom message 4";
  if (line == "command 392") return "command 392: apply custom message 4 (beta build)";
  if (line == "command 376") return "command 376: closing, the status goes";
  if (line.compare(0, 6, "shown ") == 0) return "shows \"" + line.substr(6) + "\"";
  if (line.compare(0, 7, "record ") == 0) {
    static const char* const icons[] = {"none", "busy", "idle"};
    const size_t icon = line.find(" icon=");
    const size_t headphones = line.find(" headphones=");
    if (icon == std::string::npos || headphones == std::string::npos) return line;
    const int iconValue = atoi(line.c_str() + icon + 6);
    return std::string("record: status icon ") + (iconValue >= 0 && iconValue <= 2 ? icons[iconValue] : "?") +
           ", headphones " + (line.compare(headphones + 12, 1, "1") == 0 ? "on" : "off");
  }
  return line;
}

// Prints the lines the stand-in messenger appended to its log since last time.
class MessengerLogTail {
 public:
  explicit MessengerLogTail(const std::wstring& path) : path(path) {}
  void PrintNew() {
    if (path.empty()) return;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    if (size.QuadPart > offset) {
      std::string bytes(static_cast<size_t>(size.QuadPart - offset), '\0');
      LARGE_INTEGER at;
      at.QuadPart = offset;
      SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
      DWORD read = 0;
      ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
      bytes.resize(read);
      pending += bytes;
      offset += read;
    }
    CloseHandle(file);
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Say("messenger", Readable(line));
    }
  }

 private:
  std::wstring path;
  long long offset = 0;
  std::string pending;
};

// Drives the settings dialog from inside its modal loop: a thread timer set
// just before the configure entry finds it, and either hands it to a
// screenshot taker (marker files in a directory) or leaves it open a moment.
// With a text to type, it then types it into the template as a user would,
// printing each new preview line, and shows the dialog a second time. Then
// it cancels it.
enum class DialogPhase { kFirstLook, kTyping, kSettling, kSecondLook };

struct DialogDriver {
  std::wstring screenshotDir;
  DWORD openForMs = 2000;
  std::wstring typeText;
  MessengerLogTail* messenger = nullptr;  // its new lines join the timeline while the dialog is open
  DWORD startedAt = 0;                    // when the dialog was found, or the current phase began
  HWND dialog = nullptr;
  HWND edit = nullptr;  // the template, once typing starts
  DialogPhase phase = DialogPhase::kFirstLook;
  bool announced = false;
  size_t typed = 0;      // units of typeText typed so far
  std::wstring preview;  // the preview line printed last
} g_driver;

constexpr UINT kDriverPeriodMs = 50;  // also the typing pace: a character each period
// The preview asks the player once a second; a little longer surely sees that.
constexpr DWORD kPreviewRefreshMs = 1200;
// The dialog's preview line (IDC_PREVIEW in src/resources/resource_ids.h).
constexpr int kPreviewControl = 1021;

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A text for the timeline, as UTF-8 with its line breaks as \r and \n.
std::string Printable(const std::wstring& text) {
  std::wstring shown;
  for (wchar_t c : text) shown += c == L'\r' ? L"\\r" : c == L'\n' ? L"\\n" : std::wstring(1, c);
  return InCodePage(CP_UTF8, shown);
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}

HWND FindSettingsDialog() {
  for (HWND found = FindWindowExA(nullptr, nullptr, "#32770", nullptr); found != nullptr;
       found = FindWindowExA(nullptr, found, "#32770", nullptr)) {
    if (GetWindow(found, GW_OWNER) == g_player->Window() && IsWindowVisible(found)) return found;
  }
  return nullptr;
}

void AnnounceDialog(HWND dialog, const char* state) {
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  char caption[64] = "";
  GetWindowTextA(dialog, caption, sizeof caption);
  RECT rect;
  GetWindowRect(dialog, &rect);
  Say("player", "settings dialog \"" + std::string(caption) + "\" " + state + " " + std::to_string(rect.left) + "," +
                    std::to_string(rect.top) + ", " + std::to_string(rect.right - rect.left) + "x" +
                    std::to_string(rect.bottom - rect.top) + " pixels");
  if (g_driver.screenshotDir.empty()) return;
  // The screenshot taker waits for this file, crops to the rectangle it names,
  // and answers with "screenshot-done".
  std::ofstream marker(Narrow(g_driver.screenshotDir + L"\\dialog-open.tmp").c_str());
  marker << rect.left << " " << rect.top << " " << rect.right - rect.left << " " << rect.bottom - rect.top << "\n";
  marker.close();
  MoveFileExW((g_driver.screenshotDir + L"\\dialog-open.tmp").c_str(), (g_driver.screenshotDir + L"\\dialog-open").c_str(),
              MOVEFILE_REPLACE_EXISTING);
}

// The screenshot taker answered, or the dialog was shown long enough.
bool LookDone() {
  const DWORD open = GetTickCount() - g_driver.startedAt;
  if (g_driver.screenshotDir.empty()) return open >= g_driver.openForMs;
  return FileExists(g_driver.screenshotDir + L"\\screenshot-done") || open >= 15000;
}

// The answer goes last: the taker waits for it to go before it looks for the
// next dialog-open.
void EndLook() {
  if (g_driver.screenshotDir.empty()) return;
  Say("player", FileExists(g_driver.screenshotDir + L"\\screenshot-done") ? "screenshot taken"
                                                                         : "no screenshot taker answered");
  DeleteFileW((g_driver.screenshotDir + L"\\dialog-open").c_str());
  DeleteFileW((g_driver.screenshotDir + L"\\screenshot-done").c_str());
}

// The dialog's first edit is the template; what is typed replaces it whole.
bool StartTyping() {
  if (g_driver.typeText.empty()) return false;
  g_driver.edit = FindWindowExW(g_driver.dialog, nullptr, L"Edit", nullptr);
  if (g_driver.edit == nullptr) return false;
  SetFocus(g_driver.edit);
  SendMessageW(g_driver.edit, EM_SETSEL, 0, -1);
  g_driver.preview = WindowText(GetDlgItem(g_driver.dialog, kPreviewControl));
  Say("player", "selects the template and types \"" + Printable(g_driver.typeText) + "\", a character every " +
                    std::to_string(kDriverPeriodMs) + " ms");
  g_driver.phase = DialogPhase::kTyping;
  return true;
}

// One character, as the keyboard brings it: a line break (CR, LF or both) as
// Ctrl+Enter gives it, a line feed, for which the edit inserts CR LF.
void TypeNextCharacter() {
  const std::wstring& text = g_driver.typeText;
  wchar_t c = text[g_driver.typed++];
  if (c == L'\r' && g_driver.typed < text.size() && text[g_driver.typed] == L'\n') ++g_driver.typed;
  if (c == L'\r') c = L'\n';
  SendMessageW(g_driver.edit, WM_CHAR, c, 1);
}

// Prints the preview line when it is not the one printed last.
bool SayNewPreview(const std::string& what) {
  const std::wstring preview = WindowText(GetDlgItem(g_driver.dialog, kPreviewControl));
  if (preview == g_driver.preview) return false;
  g_driver.preview = preview;
  Say("dialog", what + " \"" + Printable(preview) + "\"");
  return true;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  if (g_driver.messenger != nullptr) g_driver.messenger->PrintNew();
  if (g_driver.dialog == nullptr) {
    g_driver.dialog = FindSettingsDialog();
    if (g_driver.dialog == nullptr) {
      if (GetTickCount() - g_driver.startedAt > 10000) KillTimer(nullptr, timer);  // never appeared
      return;
    }
    g_driver.startedAt = GetTickCount();
  }
  switch (g_driver.phase) {
    case DialogPhase::kFirstLook:
    case DialogPhase::kSecondLook:
      if (!g_driver.announced) {
        AnnounceDialog(g_driver.dialog, g_driver.phase == DialogPhase::kFirstLook ? "is open at" : "after the typing, at");
        g_driver.announced = true;
        return;
      }
      if (!LookDone()) return;
      EndLook();
      if (g_driver.phase == DialogPhase::kFirstLook && StartTyping()) return;
      break;
    case DialogPhase::kTyping:
      TypeNextCharacter();
      SayNewPreview("\"" + Printable(WindowText(g_driver.edit)) + "\" previews");
      if (g_driver.typed < g_driver.typeText.size()) return;
      g_driver.phase = DialogPhase::kSettling;
      g_driver.startedAt = GetTickCount();
      return;
    case DialogPhase::kSettling:
      // Nothing but the player's answers changes the preview now.
      if (!SayNewPreview("preview refreshed from the player:") &&
          GetTickCount() - g_driver.startedAt < kPreviewRefreshMs)
        return;
      g_driver.phase = DialogPhase::kSecondLook;
      g_driver.announced = false;
      g_driver.startedAt = GetTickCount();
      return;
  }
  KillTimer(nullptr, timer);
  Say("player", "presses Cancel");
  SendMessageA(GetDlgItem(g_driver.dialog, IDCANCEL), BM_CLICK, 0, 0);
}

void OpenSettingsDialog(StandInPlayer* player, const Options& options, MessengerLogTail* messenger) {
  Say("player", "opens the plug-in's settings (Preferences > Plug-ins > General Purpose > Configure)");
  g_driver.screenshotDir = options.screenshotDir;
  g_driver.openForMs = static_cast<DWORD>(options.dialogSeconds * 1000);
  g_driver.typeText = options.typeInDialog;
  g_driver.messenger = messenger;
  g_driver.startedAt = GetTickCount();
  SetTimer(nullptr, 0, kDriverPeriodMs, DriveDialog);
  player->ConfigurePlugin();
  Say("player", "settings dialog closed");
}

// Ends the program when the player's thread has not beaten for too long: a
// plug-in that hangs the thread for good must not hang whoever waits for us.
// Stopped (its thread gone) before the player it watches is destroyed.
class StallWatchdog {
 public:
  StallWatchdog() = default;
  ~StallWatchdog() {
    if (thread == nullptr) return;
    SetEvent(stop);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(stop);
  }
  void Start(const StandInPlayer* watched, double maxStallSeconds) {
    player = watched;
    maxStallUs = static_cast<int64_t>(maxStallSeconds * 1e6);
    stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop != nullptr) thread = CreateThread(nullptr, 0, &StallWatchdog::Watch, this, 0, nullptr);
  }

 private:
  StallWatchdog(const StallWatchdog&) = delete;
  StallWatchdog& operator=(const StallWatchdog&) = delete;

  static DWORD WINAPI Watch(void* parameter) {
    const StallWatchdog* self = static_cast<const StallWatchdog*>(parameter);
    while (WaitForSingleObject(self->stop, 100) == WAIT_TIMEOUT) {
      const int64_t stalledUs = self->player->RealUs() - self->player->LastHeartbeatUs();
      if (stalledUs < self->maxStallUs) continue;
      const int64_t longestUs = std::max(stalledUs, self->player->LongestHeartbeatGapUs());
      // Written past the C runtime's stream lock, which the stalled thread
      // might hold; then the process ends without any DLL's detach code.
      const std::string line = TimelineLine("player", "longest gap between heartbeats: at least " +
                                                          std::to_string(longestUs / 1000) +
                                                          " ms (the player's thread is still stalled)");
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
  }

  const StandInPlayer* player = nullptr;
  int64_t maxStallUs = 0;
  HANDLE stop = nullptr;  // set when the run is over
  HANDLE thread = nullptr;
};

bool ReadScript(const Options& options, standin::PlayerScript* script) {
  std::string text = standin::BuiltInScriptText();
  if (!options.script.empty()) {
    std::ifstream file(Narrow(options.script).c_str(), std::ios::binary);
    if (!file) {
      fprintf(stderr, "standin_player: cannot read %s\n", Narrow(options.script).c_str());
      return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
  }
  std::string error;
  if (standin::ParsePlayerScript(text, script, &error)) return true;
  fprintf(stderr, "standin_player: script %s\n", error.c_str());
  return false;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  Options options;
  if (!ParseOptions(&options)) {
    fputs(kUsage, stderr);
    return 2;
  }
  standin::PlayerScript script;
  if (!ReadScript(options, &script)) return 2;

  standin::ComApartment apartment;
  StandInPlayer player;
  g_player = &player;
  std::string error;
  if (!apartment.Ok() || !player.Create(script, &error)) {
    fprintf(stderr, "standin_player: %s\n", apartment.Ok() ? error.c_str() : "COM did not initialise");
    return 1;
  }
  // From before the plug-in loads: any of its entries may stall the thread.
  StallWatchdog watchdog;
  if (options.heartbeat) {
    player.StartHeartbeat();
    watchdog.Start(&player, options.maxStallSeconds);
  }
  if (!player.LoadPlugin(options.plugin, &error)) {
    fprintf(stderr, "standin_player: %s\n", error.c_str());
    return 1;
  }
  player.SetPrintQueries(options.printQueries);
  player.SetSettingsDirectory(InCodePage(CP_ACP, options.settingsDir));
  MessengerLogTail messenger(options.messengerLog);
  messenger.PrintNew();
  Say("player", std::string("loaded \"") + player.Plugin()->description + "\", playing at " +
                    std::to_string(static_cast<int>(options.speed)) + "x speed");
  Say("player", "start entry returned " + std::to_string(player.StartPlugin()));

  player.Clock().Run(options.speed);
  size_t eventsSaid = 0;
  bool configured = options.configureAtMs < 0;
  const DWORD startedAt = GetTickCount();
  for (;;) {
    const PlaybackState state = player.State();
    for (; eventsSaid < state.eventsReached; ++eventsSaid) {
      const ScriptEvent& event = script.events[eventsSaid];
      const PlaybackState after = standin::StateAt(script, event.atMs);
      Say("player", "[" + standin::FormatPosition(event.atMs) + " player time] " + Describe(event, after, player));
    }
    messenger.PrintNew();
    if (state.ended) break;
    if (!configured && player.Clock().NowMs() >= options.configureAtMs) {
      configured = true;
      OpenSettingsDialog(&player, options, &messenger);
      messenger.PrintNew();
    }
    if (GetTickCount() - startedAt > options.maxSeconds * 1000) {
      Say("player", "gives up: the script did not end within the time allowed");
      break;
    }
    standin::PumpUntil([] { return false; }, 20);
  }
  // While playing, the plug-in's work never waits on anything but the host;
  // stop may wait a bounded while for the messenger's goodbye.
  const int64_t playingGapUs = player.LongestHeartbeatGapUs();
  const int64_t stoppingUs = player.RealUs();
  player.StopPlugin();
  Say("player", "stop entry returned after " + std::to_string((player.RealUs() - stoppingUs) / 1000) + " ms");
  if (options.heartbeat)
    Say("player", "longest gap between heartbeats while playing: " + std::to_string(playingGapUs / 1000) + " ms");
  messenger.PrintNew();
  Say("player", "answered " + std::to_string(player.Queries().size()) + " queries from the plug-in");
  // The thread's last work as a player's, watched too: closing and leaving
  // COM release what the plug-in left in the apartment, each a call to its
  // server.
  Say("player", "closes its window and leaves COM");
  player.Close();
  apartment.Leave();
  if (options.heartbeat) {
    // One more beat, so that a stall in the stop entry or in leaving COM counts.
    const int64_t beatBefore = player.LastHeartbeatUs();
    standin::PumpUntil([&] { return player.LastHeartbeatUs() != beatBefore; }, 1000);
    Say("player", "longest gap between heartbeats: " + std::to_string(player.LongestHeartbeatGapUs() / 1000) + " ms");
  }
  return 0;
}
