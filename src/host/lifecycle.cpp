// The entries the host calls, and the running state they own. Nothing here
// waits on the messenger: the hand-over thread says every goodbye, and only
// stop waits for it, briefly.
#include "host/lifecycle.h"

#include <string.h>

#include "common/host_text.h"
#include "host/host_query.h"
#include "host/plugin_descriptor.h"
#include "host/status_hotkey.h"
#include "host/timer_tick.h"
#include "platform/text.h"

RunningState g_running;

static int g_activeCalls = 0;

// Hosts from this version (5.5) on remove a plug-in at once when asked to.
constexpr intptr_t kFirstHostRemovingAtOnce = 0x5050;

ActiveCall::ActiveCall() { ++g_activeCalls; }
ActiveCall::~ActiveCall() { --g_activeCalls; }

// A stop that arrives inside another call of ours (a tick's wait for the
// host's answer, the settings dialog's modal loop) may be followed at once
// by the host's FreeLibrary, before that call returns into this module. A
// reference taken now would have to be released from inside the module later,
// and that FreeLibrary would return into unmapped code if it dropped the last
// one. So the only safe reference is one never released: the module stays
// mapped until the process ends.
static void PinModule() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&g_running), &self);
}

// The plug-in's own file path, which its settings file follows. Without the
// module instance, GetModuleFileNameA would name the host's program, whose
// .ini is the host's own configuration; a full buffer means the path was cut.
static bool GetModulePath(HMODULE module, char* path, DWORD size) {
  if (module == nullptr) return false;
  DWORD length = GetModuleFileNameA(module, path, size);
  return length != 0 && length < size;
}

// The host's settings folder (request 335); empty when the host names none
// or one that does not fit.
static void AskSettingsFolder(char* folder, size_t size) {
  CopyHostText(QueryHost(0, kRequestSettingsFolder), folder, size);
}

static void FindOwnSettingsFiles(HMODULE module, SettingsLocations* files) {
  char modulePath[kSettingsPathSize];
  char hostFolder[kSettingsPathSize];
  bool known = GetModulePath(module, modulePath, sizeof modulePath);
  AskSettingsFolder(hostFolder, sizeof hostFolder);
  FindSettingsLocations(known ? modulePath : nullptr, hostFolder, files);
}

// Every change of the template comes through here.
static void TemplateChanged() {
  const char* format = g_running.settings.statusFormat != nullptr ? g_running.settings.statusFormat : "";
  ConvertTemplateToUtf8(format, g_running.utf8Format);
  g_running.namedTokens =
      NamedTokensIn(TextEncoding::kAnsi, format) | NamedTokensIn(TextEncoding::kUtf8, g_running.utf8Format);
  RecomposeNextTick(&g_running.composer);
}

// How long stop waits for the messenger's goodbye: a responsive messenger
// has it well within that; a busy or hung one gets it from the hand-over
// thread once it answers.
constexpr DWORD kGoodbyeWaitMs = 1000;

// With status changing enabled, a timer (its expiries reach OnTimerTick
// through the host's own message loop; an interval of 0 gets the platform's
// shortest period) whose first tick offers even an unchanged status.
static void StartTimer() {
  const PluginSettings& settings = g_running.settings;
  g_running.statusCleared = false;
  if (!settings.enabled) return;
  ForgetLastTextOffered(&g_running.composer);
  UINT periodMs = static_cast<UINT>(settings.intervalSeconds) * 1000u;
  g_running.timerId = SetTimer(nullptr, 0, periodMs, OnTimerTick);
}

// A stale timer id must not reach KillTimer later: by then it may name a
// timer of the host's own.
static void StopTimer() {
  if (g_running.timerId != 0) KillTimer(nullptr, g_running.timerId);
  g_running.timerId = 0;
}

// Save hands over what the dialog read from its controls. They apply at once,
// even when no file could take them.
static void ApplyEditedSettings(PluginSettings* edited, HWND dialog) {
  // After stop nothing may start again: no timer, no link, and the copy goes.
  if (!g_running.started) {
    FreeSettings(edited);
    return;
  }
  PluginSettings previous = g_running.settings;
  // Without memory for the template's copy, the one in force stays: the tick
  // must never see a missing one.
  if (edited->statusFormat == nullptr) {
    edited->statusFormat = previous.statusFormat;
    previous.statusFormat = nullptr;
  }
  // Pasted text may bring control characters (an IRC client's colour codes
  // start with 0x03, which would end the template in the file).
  RemoveControlCharacters(edited->statusFormat);
  g_running.settings = *edited;
  edited->statusFormat = nullptr;
  FreeSettings(&previous);
  TemplateChanged();

  SaveReport report = SaveSettingsFile(g_running.settingsFiles, g_running.settings);
  StopTimer();
  // The old link says goodbye; with status changing enabled a new one takes
  // over, and the next tick offers it the status again.
  g_running.handOver.PostGoodbye(g_running.settings.enabled != 0);
  StartTimer();
  if (!report.saved) ShowSaveFailure(dialog, g_running.settingsFiles, report);
}

// The status on/off key: "Enable status changing" flipped, as a Save with
// that box flipped would, and the open dialog's box follows.
static void ToggleStatusChanging() {
  ActiveCall call;
  if (!g_running.started) return;
  PluginSettings edited = g_running.settings;
  // Without memory for the copy, Save keeps the template in force.
  edited.statusFormat = nullptr;
  ReplaceStatusFormat(g_running.settings.statusFormat, &edited);
  edited.enabled = !edited.enabled;
  const HWND dialog = g_running.configuring != nullptr ? g_running.configuring->dialog : nullptr;
  ApplyEditedSettings(&edited, dialog != nullptr ? dialog : g_descriptor.hostWindow);
  // Saving may have shown a message, a wait in which the dialog may have gone.
  if (g_running.started && g_running.configuring != nullptr)
    ShowStatusChangingEnabled(g_running.configuring->dialog, g_running.settings.enabled != 0);
}

static void StopRunning() {
  g_running.started = false;
  StopStatusHotkey();
  StopTimer();
  g_running.handOver.Stop(kGoodbyeWaitMs);
  FreeSettings(&g_running.settings);
}

int PluginStart() {
  ActiveCall call;
  const unsigned change = ++g_running.changes;
  FindOwnSettingsFiles(g_descriptor.moduleInstance, &g_running.settingsFiles);
  AskHotkeyService();
  // The host's answers are waits: a stop or a start that came during one has
  // done all there was to do.
  if (g_running.changes != change) return 0;
  // A second start without a stop would leave the first timer ticking (at
  // twice the rate, and on after stop and unload) and the first link without
  // its goodbye: it restarts instead, on the same hand-over thread.
  StopTimer();
  LoadSettingsFile(g_running.settingsFiles, &g_running.settings);
  TemplateChanged();
  // The link exists even when status changing is disabled, so that stop can
  // still say goodbye to a messenger; it touches neither windows nor COM
  // before it is used. Without a thread nothing is ever handed over.
  if (g_running.started) g_running.handOver.PostGoodbye(true);
  else g_running.handOver.Start();
  g_running.started = true;
  g_running.entryTimed = false;
  StartTimer();
  StartStatusHotkey(ToggleStatusChanging);
  return 0;
}

void PluginConfigure() {
  ActiveCall call;
  // One dialog at a time: a second configure shows the one already open.
  if (g_running.configuring != nullptr) {
    if (g_running.configuring->dialog != nullptr) SetForegroundWindow(g_running.configuring->dialog);
    return;
  }
  ConfigDialogSession session;
  session.shown = &g_running.settings;
  session.save = ApplyEditedSettings;
  session.preview = PreviewStatus;
  session.dialog = nullptr;
  ForgetPreview();
  g_running.configuring = &session;
  RunConfigDialog(g_descriptor.moduleInstance, g_descriptor.hostWindow, &session);
  g_running.configuring = nullptr;
}

// What the stop entry does; a second time it finds nothing to do.
static void StopEntry() {
  ++g_running.changes;
  if (g_activeCalls > 1) PinModule();
  // The host's closing messages reach its window through the dialog's modal
  // loop, and it stops its plug-ins there: the dialog ends with the plug-in,
  // and a Save that still arrives finds it stopped.
  if (g_running.configuring != nullptr && g_running.configuring->dialog != nullptr)
    EndDialog(g_running.configuring->dialog, 0);
  StopRunning();
}

void PluginStop() {
  ActiveCall call;
  StopEntry();
}

// The host removes the plug-in, started or not. Once stop has run, nothing
// of the plug-in's that runs or names its code stays in the host: it
// subclasses none of the host's windows, and stop ends its timer, its hotkey
// window and that window's class, its link and dialog. One thing stays, by
// design: the hotkey action's record, which the host's hotkey service keeps
// and reads for as long as the player runs. It is safe: it lives with its
// texts in the process heap, not in the DLL, and is never freed, so a read
// after unload finds it whole; the only thing it names beyond itself is the
// window stop destroyed (never 0, which the service would take for the
// host's main window), so a press reaches nothing and runs no code of ours.
// So the plug-in may be unloaded and deleted at once, which hosts from 5.5
// on do on the answer 1, with or without calling stop first: the plug-in
// stops before it answers 1. Older hosts know only 0, removal at the next
// start of the player, and the plug-in runs on until then.
int PluginUninstall(HWND preferencesPage) {
  // The question is a wait: a stop and unload inside it find this call in
  // progress and keep the module mapped (see StopEntry).
  ActiveCall call;
  int answer = QueryHost(0, kRequestHostVersion) >= kFirstHostRemovingAtOnce ? 1 : 0;
  int choice = MessageBoxA(preferencesPage, "Delete Tavrin's settings too?", "Tavrin",
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (choice == IDYES) {
    // Our own module, never the one the host names: the path of another (the
    // host's program) would lead to the host's own configuration.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&g_running), &self);
    SettingsLocations files;
    FindOwnSettingsFiles(self, &files);
    DeleteSettingsFiles(preferencesPage, files);
  }
  if (answer == 1) StopEntry();
  return answer;
}
