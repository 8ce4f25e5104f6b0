// Support for the tests that drive the real gen_Tavrin.dll through the
// stand-in player, in this process, with the stand-in messenger beside it:
// the settings file, the plug-in host, bounded waits and the settings dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "standin_player.h"

namespace harness {

// The DLL the tests load, beside the test program, and its settings file.
std::wstring PluginPath();
std::wstring SettingsPath();

// The settings file's bytes: the template, 0x03, the five settings, 0x00.
std::string SettingsBytes(const std::string& format, int enabled, int icon, int headphones, int interval, int utf8);
bool ReadSettingsFile(std::string* bytes);  // false when there is none
void WriteSettingsFile(const std::string& bytes, const std::wstring& path = SettingsPath());
void DeleteSettingsFile();

// Keeps whatever settings file was there before a test and puts it back after.
class SettingsFileGuard {
 public:
  SettingsFileGuard();
  ~SettingsFileGuard();

 private:
  // In this order: existed is read into bytes, which must be built first.
  std::string bytes;
  bool existed;
};

// A one-track script, standing still at positionMs while the clock is not moved.
standin::PlayerScript OneTrack(const std::string& title, int lengthSeconds, int positionMs);

// The stand-in player with the real plug-in loaded, on this thread, with COM.
// Faults inside the plug-in are counted by a vectored handler: Wine swallows
// a fault in a timer callback, and a test must still see it. Its address range
// is remembered past unloading, so that code running there afterwards (a
// timer left behind, a return into the unloaded module) counts too.
class PluginHost {
 public:
  explicit PluginHost(const standin::PlayerScript& script);
  ~PluginHost();  // stops the plug-in if still started, unloads it
  bool Ok(std::string* error) const;

  standin::StandInPlayer& Player() { return player; }
  int Start() { started = true; return player.StartPlugin(); }
  void Stop() { started = false; player.StopPlugin(); }
  // As a host may do right after the uninstall entry answers 1.
  void UnloadWithoutStop() { started = false; player.UnloadPlugin(); }
  // Ticks so far: every tick begins by asking for the playlist position.
  size_t Ticks() const { return player.CountQueries(125); }
  // The requests asked so far, in order ("125 212/2 105/1 ... 290:album";
  // wParam after a slash when it is not 0, a file-tag request's tag or a
  // hotkey action's id after a colon; never the address that 65536 and the
  // named messages above it carry), for comparing a tick's queries exactly.
  std::string Requests() const;
  // Pumps until `count` more ticks have happened; false at the bound.
  bool WaitForTicks(size_t count, DWORD timeoutMs = 5000);
  // Real times of the ticks, in microseconds since the player was created.
  std::vector<int64_t> TickTimesUs() const;
  static int FaultsInPlugin();

 private:
  standin::ComApartment apartment;
  standin::StandInPlayer player;
  bool loaded = false;
  bool started = false;
  std::string error;
};

// Pumps for a window of `periods` expiries of a thread timer of periodMs:
// long enough to see something that would happen at least every period.
void PumpForTimerPeriods(int periods, DWORD periodMs);

// Drives the settings dialog from inside its modal loop. Each step runs on a
// thread timer expiry, again and again until it returns true; then the next
// step runs. A run that takes longer than the bound cancels the dialog.
class DialogDriver {
 public:
  using Step = std::function<bool(HWND dialog)>;
  // Opens the dialog through the configure entry and runs the steps.
  // Returns when the configure entry returns.
  void Run(standin::StandInPlayer* player, const std::vector<Step>& steps, DWORD timeoutMs = 15000);
  // The same for any call that shows a modal dialog owned by owner (a message
  // box); drivers may nest.
  void RunModal(HWND owner, const std::function<void()>& call, const std::vector<Step>& steps,
                DWORD timeoutMs = 15000);
  bool DialogSeen() const { return dialogSeen; }
  bool AllStepsRan() const { return nextStep == steps.size(); }
  bool TimedOut() const { return timedOut; }
  HWND Dialog() const { return dialog; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD);
  void Tick(UINT_PTR timer);

  std::vector<Step> steps;
  size_t nextStep = 0;
  HWND owner = nullptr;
  HWND dialog = nullptr;
  bool dialogSeen = false;
  bool timedOut = false;
  DWORD startedAt = 0;
  DWORD timeoutMs = 0;
};

// Small dialog helpers.
std::string ControlText(HWND dialog, int control);
void SetControlText(HWND dialog, int control, const std::string& text);
void Click(HWND dialog, int control);
bool IsChecked(HWND dialog, int control);
void SetChecked(HWND dialog, int control, bool checked);

}  // namespace harness
