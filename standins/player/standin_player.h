// The stand-in player: the host's main window answering the plug-in's
// WM_USER queries from a scripted playlist and a clock, a log of every query
// it answered, and the loading and calling of a general-purpose plug-in.
// Everything runs on the thread that creates the player, which must run a
// message loop (PumpUntil) and have COM initialised apartment-threaded.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "player_script.h"

namespace standin {

// The host's view of the plug-in's record: seven pointer-sized words on the
// 32-bit player (word 1 is an int, padded on 64-bit builds like the DLL's).
struct HostPluginRecord {
  int version;  // 0x10
  const char* description;
  int (*start)();
  void (*configure)();
  void (*stop)();
  HWND hostWindow;
  HINSTANCE moduleInstance;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HostPluginRecord) == 28, "the record is seven 32-bit words");
#endif

// An action a plug-in offers the player's Global Hotkeys page, as the plug-in
// lays it out (52 bytes on the 32-bit player). The player keeps the plug-in's
// pointer, not a copy, for as long as it runs (it has no way to drop an
// action), and reads the record whenever its page lists the actions, the
// bound key is pressed or it saves the bindings at exit: after the plug-in
// is stopped or unloaded too.
struct HotkeyAction {
  char* name;  // shown on the page
  DWORD flags;
  UINT uMsg;  // a press sends wnd uMsg with wParam and lParam
  WPARAM wParam;
  LPARAM lParam;
  char* id;  // what the user's binding is saved under
  HWND wnd;
  int extended[6];
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HotkeyAction) == 52, "the hotkey action is thirteen 32-bit words");
#endif

struct QueryRecord {
  int64_t realUs;   // since the player was created
  int64_t clockMs;  // the player's clock when it answered
  intptr_t wParam;
  intptr_t request;  // lParam
  intptr_t result;
  std::string tag;   // the tag a file-tag request (290, 3026) named, the id text of a hotkey action
};

// The player's clock: set by the caller (tests), or running at a speed
// relative to real time from a starting point (the demo).
class PlayerClock {
 public:
  void Set(int64_t ms);
  void Run(double speed);  // from the current value, at speed × real time
  int64_t NowMs() const;

 private:
  int64_t baseMs = 0;
  double speed = 0;  // 0: stands still at baseMs
  LARGE_INTEGER runSince = {};
};

class ComApartment {
 public:
  ComApartment();
  ~ComApartment();  // leaves, unless Leave did
  bool Ok() const { return ok; }
  // Leaves the apartment now: releases what is still in it (proxies a plug-in
  // left behind too, a call to their servers each).
  void Leave();

 private:
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok;
};

class StandInPlayer {
 public:
  // What request 0 answers: 5.5, the first version that removes a plug-in at once.
  static constexpr intptr_t kHostVersion = 0x5050;
  // Request 65536 with the address of a name registers a named message and
  // answers its id; the hotkey service's name, "GenHotkeysAdd", gets this one.
  // A WM_USER with that id in lParam registers the HotkeyAction at wParam.
  static constexpr intptr_t kNamedMessageRequest = 65536;
  static constexpr intptr_t kHotkeyAddMessage = 65573;
  StandInPlayer();
  ~StandInPlayer();  // closes
  // Stops and unloads a plug-in still loaded, reads every hotkey action as
  // the real player does when it saves the bindings at exit, destroys the
  // window (on Wine, the thread's last window takes a COM reference with it).
  void Close();

  // Creates the (visible) main window on the calling thread.
  bool Create(const PlayerScript& script, std::string* error = nullptr);
  HWND Window() const { return window; }
  PlayerClock& Clock() { return clock; }
  PlaybackState State() const { return StateAt(script, clock.NowMs()); }
  const PlayerScript& Script() const { return script; }
  // Another playlist and its events from now on, as when the user drops a new
  // album into the player; the clock goes on.
  void SetScript(const PlayerScript& newScript) { script = newScript; }

  // The folder of the host's own settings, answered to request 335 (ANSI);
  // empty: the request is answered 0, as by a host that does not know it.
  void SetSettingsDirectory(const std::string& ansiPath) { settingsDirectory = ansiPath; }

  // Answers `request` with `result` whatever its wParam, instead of the real
  // answer: a host that does not know a request answers 0 or 1, for example.
  void SetAnswerOverride(intptr_t request, intptr_t result);
  void ClearAnswerOverrides() { overrides.clear(); }

  // With whole, a tag at least as long as a file-tag request's buffer fills
  // it whole, without the zero, as a careless player does.
  void SetFillsTagBuffersWhole(bool whole) { fillsTagBuffersWhole = whole; }

  // Called on the player's thread when a query arrives, before it is
  // answered, so a test can act inside a query. A query that arrives while the
  // hook runs is answered without calling the hook again. Null: none.
  using QueryHook = std::function<void(intptr_t wParam, intptr_t request)>;
  void SetQueryHook(QueryHook hook) { queryHook = std::move(hook); }

  // Every query answered, oldest first (a query answered inside the hook
  // comes before the one that called it).
  const std::vector<QueryRecord>& Queries() const { return queries; }
  size_t CountQueries(intptr_t request) const;
  void ClearQueries() { queries.clear(); }
  void SetPrintQueries(bool print) { printQueries = print; }
  int64_t RealUs() const;

  // The hotkey actions registered so far, oldest first (an action registered
  // twice is kept once), as the page lists them: each record's name, id and
  // wnd read now. Unloading the plug-in keeps them, as the real player does:
  // their records are wherever the plug-in put them.
  struct ListedHotkeyAction {
    std::string name;
    std::string id;
    HWND wnd;
  };
  std::vector<ListedHotkeyAction> ListHotkeyActions() const;
  const HotkeyAction* FindHotkeyAction(const std::string& id) const;
  // Does what the user's key for the action with that id does: reads the
  // record now and sends its wnd its message. False when no action has that
  // id or its wnd is not a window. The script's presses happen on its clock;
  // both work after the plug-in is unloaded too.
  bool PressHotkey(const std::string& id);

  // A 10 ms thread timer that notes when each expiry comes: every message
  // loop of this thread dispatches it, a modal one too, so the longest gap is
  // the longest the thread went without pumping (from the start of the
  // heartbeat). It beats on after Close. One player in a process at a time.
  void StartHeartbeat();
  int64_t LongestHeartbeatGapUs() const { return longestHeartbeatGapUs; }
  // RealUs of the last expiry (of the start before the first); -1 when not
  // started. Both are readable from any thread: a watchdog's.
  int64_t LastHeartbeatUs() const { return lastHeartbeatUs; }

  // Loads the plug-in DLL, asks for its record and writes the host fields.
  bool LoadPlugin(const std::wstring& path, std::string* error = nullptr);
  HostPluginRecord* Plugin() const { return record; }
  int StartPlugin();
  void ConfigurePlugin();  // returns when the dialog closes
  void StopPlugin();
  // The uninstall entry (-1 when the plug-in has none): 1 asks the host to
  // stop, unload and delete the plug-in now, 0 at its next start.
  int UninstallPlugin(HWND preferencesPage);
  void UnloadPlugin();  // FreeLibrary (the hotkey actions stay); stop first, or it is never called

 private:
  StandInPlayer(const StandInPlayer&) = delete;
  StandInPlayer& operator=(const StandInPlayer&) = delete;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void CALLBACK OnHeartbeat(HWND, UINT, UINT_PTR, DWORD);
  void RunQueryHook(intptr_t wParam, intptr_t request);
  intptr_t Answer(WPARAM wParam, LPARAM lParam);
  bool FindOverride(intptr_t request, intptr_t* result) const;
  intptr_t RealAnswer(intptr_t wParam, intptr_t request, const PlaybackState& state);
  intptr_t FileTagAnswer(intptr_t request, intptr_t argument) const;
  void KeepHotkeyAction(intptr_t argument);
  void PressDueHotkeys();
  void Heartbeat();
  void PrintQuery(const QueryRecord& query, bool overridden) const;
  void Paint();

  PlayerScript script;
  PlayerClock clock;
  HWND window = nullptr;
  HMODULE module = nullptr;
  HostPluginRecord* record = nullptr;
  bool started = false;
  std::vector<QueryRecord> queries;
  bool printQueries = false;
  // The titles answered to 212 (ANSI) and 213 (UTF-16): each stays put
  // until the next query of either.
  std::string titleAnswer;
  std::wstring wideTitleAnswer;
  // The file names answered to 211 (ANSI) and 214 (UTF-16), likewise.
  std::string fileNameAnswer;
  std::wstring wideFileNameAnswer;
  std::string settingsDirectory;
  bool fillsTagBuffersWhole = false;
  struct AnswerOverride {
    intptr_t request;
    intptr_t result;
  };
  std::vector<AnswerOverride> overrides;
  QueryHook queryHook;
  bool inQueryHook = false;
  std::vector<const HotkeyAction*> hotkeyActions;
  size_t eventsDueForPresses = 0;  // script events up to here have had their presses
  UINT_PTR heartbeatTimer = 0;
  std::atomic<int64_t> lastHeartbeatUs{-1};
  std::atomic<int64_t> longestHeartbeatGapUs{0};
  LARGE_INTEGER createdAt = {};
};

// Pumps the calling thread's messages until done() holds or timeoutMs has
// passed; returns done(). Never sleeps longer than the next message.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The directory of the running program, with a trailing backslash.
std::wstring ProgramDirectory();

}  // namespace standin
