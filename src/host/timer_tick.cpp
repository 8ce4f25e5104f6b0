// One tick on the host's UI thread: ask the host what is playing, compose the
// status, and leave a changed one for the hand-over thread.
#include "host/timer_tick.h"

#include <string.h>

#include "host/host_query.h"
#include "host/lifecycle.h"

// How long a tick waits for the hand-over thread: a responsive messenger has
// the status before the tick returns (in a few milliseconds); a busy one gets
// the newest status once it answers again, and the player goes on meanwhile,
// waiting no more while the messenger is still busy with an earlier status.
constexpr DWORD kHandOverWaitMs = 50;

// The host's answers are waits that may let this thread's messages run, and
// so dispatch the next timer expiry; that tick must not run inside this one.
static bool g_tickRunning = false;

// The tick's questions to the host. A stop inside one of them ends the tick's
// business with the host: the rest are answered 0 without asking.
static intptr_t AskWhileRunning(intptr_t wParam, intptr_t request) {
  return g_running.started ? QueryHost(wParam, request) : 0;
}

// Asked only when the settings care, so that by default a tick makes exactly
// the queries it always made. Returns the mark for the status, or null; and
// false when nothing may be published.
static bool CheckPlayback(const char** mark) {
  *mark = nullptr;
  const uint8_t whenNotPlaying = g_running.settings.whenNotPlaying;
  if (whenNotPlaying == kKeepStatus) return true;
  // 1 playing, 3 paused, 0 stopped; any other answer counts as playing.
  const int32_t state = static_cast<int32_t>(AskWhileRunning(0, kRequestPlaybackState));
  const bool paused = state == 3;
  const bool stopped = state == 0;
  if (whenNotPlaying == kMarkStatus) {
    *mark = paused ? " (paused)" : stopped ? " (stopped)" : nullptr;
    return true;
  }
  if (!paused && !stopped) {
    g_running.statusCleared = false;
    return true;
  }
  // Cleared once per pause or stop; the current text goes out again as soon
  // as playback resumes.
  if (!g_running.statusCleared) {
    g_running.statusCleared = true;
    ForgetLastTextOffered(&g_running.composer);
    if (g_running.handOver.PostClear()) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
  }
  return false;
}

static void RunTick() {
  StatusComposer& composer = g_running.composer;
  // The messenger may still apply the last status late, but nothing says it
  // did: offer the text again rather than leave a stale status standing.
  if (g_running.handOver.TakeUnconfirmed()) ForgetLastTextOffered(&composer);
  const char* mark = nullptr;
  if (!CheckPlayback(&mark)) return;
  const uint8_t tags = g_running.tagTokens;
  RefreshTrackFields(AskWhileRunning, g_running.settings.utf8Text != 0, tags, &composer.fields);
  // A stop inside those queries ends the tick; a Save whose template uses a
  // tag not asked for leaves it to the next tick, which asks.
  if (!g_running.started || (g_running.tagTokens & ~tags) != 0) return;
  // Read only now: a Save or a stop that runs inside one of the queries above
  // replaces or frees the template.
  const char* format = composer.fields.encoding == TextEncoding::kUtf8 ? g_running.utf8Format
                                                                       : g_running.settings.statusFormat;
  const char* text = ComposeStatus(format, mark, &composer);
  if (text == nullptr) return;

  const PluginSettings& settings = g_running.settings;
  RecordOptions options = {settings.utf8Text, settings.statusIcon, settings.headphonesIcon, composer.offeredEncoding,
                           mark != nullptr ? strlen(mark) : 0};
  if (g_running.handOver.PostStatus(text, options)) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
}

void CALLBACK OnTimerTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_tickRunning) return;
  ActiveCall call;
  g_tickRunning = true;
  RunTick();
  g_tickRunning = false;
}
