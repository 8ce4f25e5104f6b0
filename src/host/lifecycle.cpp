// The entries the host calls, and the running state they own: one
// sequence stops publishing and one starts it, for start, Save and stop alike.
#include "host/lifecycle.h"

#include <string.h>

#include <new>

#include "common/host_text.h"
#include "host/host_query.h"
#include "host/plugin_descriptor.h"
#include "host/timer_tick.h"
#include "messenger/messenger_link.h"
#include "platform/text.h"

RunningState g_running;

static int g_activeCalls = 0;

// Hosts from this version (5.5) on remove a plug-in at once when asked to.
constexpr intptr_t kFirstHostRemovingAtOnce = 0x5050;

ActiveCall::ActiveCall() { ++g_activeCalls; }
ActiveCall::~ActiveCall() { --g_activeCalls; }

// A stop that arrives inside another call of ours (a tick's wait for the host
// or the messenger, the settings dialog's modal loop) may be followed at once
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

// Every change of the template comes through here. A template longer in
// UTF-8 than an expansion half is cut like one would be.
static void ConvertTemplateToUtf8() {
  const char* format = g_running.settings.statusFormat != nullptr ? g_running.settings.statusFormat : "";
  char converted[3 * kSettingsReadSize + 1];
  int length = AnsiToUtf8(format, converted, sizeof converted);
  size_t fit = length > 0 ? FitUtf8(converted, sizeof g_running.utf8Format - 1) : 0;
  memcpy(g_running.utf8Format, converted, fit);
  g_running.utf8Format[fit] = '\0';
  g_running.tagTokens = TagTokensIn(TextEncoding::kAnsi, format) | TagTokensIn(TextEncoding::kUtf8, g_running.utf8Format);
  RecomposeNextTick(&g_running.composer);
}

// No timer, and the link says goodbye (after the tick that is handing it a
// text, if one is). A stale timer id must not reach KillTimer later: by then
// it may name a timer of the host's own.
static void StopPublishing() {
  if (g_running.timerId != 0) KillTimer(nullptr, g_running.timerId);
  g_running.timerId = 0;
  MessengerLink* link = g_running.link;
  g_running.link = nullptr;
  RetireLink(link);
}

// With status changing enabled, a timer (its expiries reach OnTimerTick
// through the host's own message loop; an interval of 0 gets the platform's
// shortest period) whose first tick offers even an unchanged status to the
// new link. At start the link exists even when disabled, so that stop can
// still say goodbye to a messenger; creating it touches neither windows nor
// COM. Without memory there is simply no link, and ticks publish nothing.
static void StartPublishing(bool linkWhenDisabled) {
  const PluginSettings& settings = g_running.settings;
  g_running.statusCleared = false;
  if (settings.enabled) {
    ForgetLastTextOffered(&g_running.composer);
    UINT periodMs = static_cast<UINT>(settings.intervalSeconds) * 1000u;
    g_running.timerId = SetTimer(nullptr, 0, periodMs, OnTimerTick);
  }
  // A tag of our own rather than std::nothrow: that object would bring the
  // libstdc++ file that defines it, unwind tables and all, into the DLL.
  const std::nothrow_t noThrow{};
  if (settings.enabled || linkWhenDisabled) g_running.link = new (noThrow) MessengerLink;
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
  g_running.settings = *edited;
  edited->statusFormat = nullptr;
  FreeSettings(&previous);
  ConvertTemplateToUtf8();

  SaveReport report = SaveSettingsFile(g_running.settingsFiles, g_running.settings);
  const unsigned change = ++g_running.changes;
  StopPublishing();
  // A stop (and perhaps a start) that came during the old link's goodbye has
  // the last word: nothing may start after it.
  if (g_running.changes != change) return;
  StartPublishing(false);
  if (!report.saved) ShowSaveFailure(dialog, g_running.settingsFiles, report);
}

static void StopRunning() {
  g_running.started = false;
  StopPublishing();
  FreeSettings(&g_running.settings);
}

int PluginStart() {
  ActiveCall call;
  const unsigned change = ++g_running.changes;
  // A second start without a stop would leave the first timer ticking (at
  // twice the rate, and on after stop and unload) and the first link without
  // its goodbye: it restarts instead.
  if (g_running.started) StopRunning();
  // The goodbye and the host's answer are waits: a stop or a start that came
  // during either has done all there was to do.
  if (g_running.changes == change) FindOwnSettingsFiles(g_descriptor.moduleInstance, &g_running.settingsFiles);
  if (g_running.changes != change) return 0;
  LoadSettingsFile(g_running.settingsFiles, &g_running.settings);
  ConvertTemplateToUtf8();
  g_running.started = true;
  StartPublishing(true);
  return 0;
}

void PluginConfigure() {
  ActiveCall call;
  // One dialog at a time: a second configure shows the one already open.
  if (g_running.configuring != nullptr) {
    if (g_running.configuring->dialog != nullptr) SetForegroundWindow(g_running.configuring->dialog);
    return;
  }
  ConfigDialogSession session = {&g_running.settings, ApplyEditedSettings, nullptr};
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

// The host removes the plug-in, started or not. Nothing of the plug-in's
// stays in the host once stop has run: it subclasses none of the host's
// windows, and stop ends its timer, link and dialog. So it may be unloaded
// and deleted at once, which hosts from 5.5 on do on the answer 1, with or
// without calling stop first: the plug-in stops before it answers 1. Older
// hosts know only 0, removal at the next start of the player, and the plug-in
// runs on until then.
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
