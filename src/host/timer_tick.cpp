// One tick on the host's UI thread: ask the host what is playing, compose the
// status, and leave a changed one for the hand-over thread.
#include "host/timer_tick.h"

#include <string.h>

#include "composer/hidden_entries.h"
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

// While nothing may show, the messenger's status goes once (the closing
// command); the current text goes out again as soon as something may.
static void ClearStatusOnce() {
  if (g_running.statusCleared) return;
  g_running.statusCleared = true;
  ForgetLastTextOffered(&g_running.composer);
  if (g_running.handOver.PostClear()) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
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
  if (!paused && !stopped) return true;
  ClearStatusOnce();
  return false;
}

// What the user keeps to themselves, by the rules they set: a video while it
// plays (501 is asked only while that rule is on; 1 is an older host that
// cannot tell), a stream, a file whose path holds one of their words.
static bool PlayingHiddenVideo(const PluginSettings& settings) {
  return (settings.hideFlags & kHideVideos) != 0 &&
         static_cast<int32_t>(AskWhileRunning(0, kRequestPlayingVideo)) > 1;
}

// The file names the rules read, asked on every tick while one is on.
static uint8_t FileNamesForRules(const PluginSettings& settings) {
  return ((settings.hideFlags & kHideStreams) != 0 ? kNeedsFileName : 0) |
         (settings.hiddenPathWords[0] != '\0' ? kNeedsAnsiFileName : 0);
}

static bool EntryHidden(const PluginSettings& settings, const TrackFields& fields) {
  const bool wide = (fields.fileNamesKnown & kWideFileName) != 0, ansi = (fields.fileNamesKnown & kAnsiFileName) != 0;
  if ((settings.hideFlags & kHideStreams) != 0 &&
      (wide ? IsStream(fields.wideFileName) : ansi && IsStream(fields.fileName)))
    return true;
  return settings.hiddenPathWords[0] != '\0' && ansi && PathHasHiddenWord(fields.fileName, settings.hiddenPathWords);
}

// Whether the current entry has been current long enough to show, counted
// by the ticks' own clock from the first tick that saw it (a seek does not
// shorten the wait); a skipped song never shows, the status before it stays.
static bool ShownLongEnough(const TrackFields& fields, DWORD nowMs) {
  if (!g_running.entryTimed || g_running.timedEntry != fields.entryCount) {
    g_running.entryTimed = true;
    g_running.timedEntry = fields.entryCount;
    g_running.timedEntrySinceMs = nowMs;
  }
  return nowMs - g_running.timedEntrySinceMs >= g_running.settings.newSongDelaySeconds * 1000u;
}

static void RunTick(DWORD nowMs) {
  StatusComposer& composer = g_running.composer;
  const PluginSettings& settings = g_running.settings;
  // The last status did not reach the messenger (it was not ready), or
  // nothing says it did (it may still apply it late): offer the text again
  // rather than leave a stale status standing.
  if (g_running.handOver.TakeNotApplied()) ForgetLastTextOffered(&composer);
  const char* mark = nullptr;
  if (!CheckPlayback(&mark)) return;
  const uint8_t tags = g_running.tagTokens;
  const uint8_t names = FileNamesForRules(settings);
  RefreshTrackFields(AskWhileRunning, settings.utf8Text != 0, tags, names, &composer.fields);
  // A stop inside those queries ends the tick; a Save whose template uses a
  // tag, or whose rules read a file name, not asked for leaves it to the next
  // tick, which asks: the entry may be one the new rules hide.
  if (!g_running.started || (g_running.tagTokens & ~tags) != 0 || (FileNamesForRules(settings) & ~names) != 0) return;
  const bool hidden = EntryHidden(settings, composer.fields) || PlayingHiddenVideo(settings);
  if (!g_running.started) return;  // the answer about video was a wait too
  if (hidden) return ClearStatusOnce();
  if (!ShownLongEnough(composer.fields, nowMs)) return;
  // Read only now: a Save or a stop that runs inside one of the queries above
  // replaces or frees the template.
  const char* format = composer.fields.encoding == TextEncoding::kUtf8 ? g_running.utf8Format
                                                                       : g_running.settings.statusFormat;
  const char* text = ComposeStatus(format, mark, &composer);
  if (text == nullptr) return;

  g_running.statusCleared = false;
  RecordOptions options = {settings.utf8Text, settings.statusIcon, settings.headphonesIcon, composer.offeredEncoding,
                           mark != nullptr ? strlen(mark) : 0};
  if (g_running.handOver.PostStatus(text, options)) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
}

void CALLBACK OnTimerTick(HWND, UINT, UINT_PTR, DWORD time) {
  if (g_tickRunning) return;
  ActiveCall call;
  g_tickRunning = true;
  RunTick(time);
  g_tickRunning = false;
}
