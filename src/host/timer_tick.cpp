// One tick on the host's UI thread: ask the host what is playing, compose the
// status, and hand a changed text to the messenger link.
#include "host/timer_tick.h"

#include <string.h>

#include "host/host_query.h"
#include "host/lifecycle.h"
#include "messenger/messenger_link.h"

// The host's answers and the messenger's commands are waits that let this
// thread's messages run, which can dispatch the next timer expiry; that tick
// must not run inside this one.
static bool g_tickRunning = false;
// The link the running tick is publishing through, and one that was retired
// while it did (see RetireLink).
static MessengerLink* g_publishingLink = nullptr;
static MessengerLink* g_retiredLink = nullptr;

// Sends the messenger a command through the module's link, guarded like a
// hand-over: the link may be retired while the command waits.
static void SendThroughLink(WPARAM command) {
  if (g_running.link == nullptr) return;
  g_publishingLink = g_running.link;
  g_publishingLink->SendCommand(WM_COMMAND, command, 0);
  g_publishingLink = nullptr;
}

// Asked only when the settings care, so that by default a tick makes exactly
// the queries it always made. Returns the mark for the status, or null; and
// false when nothing may be published.
static bool CheckPlayback(const char** mark) {
  *mark = nullptr;
  const uint8_t whenNotPlaying = g_running.settings.whenNotPlaying;
  if (whenNotPlaying == kKeepStatus) return true;
  // 1 playing, 3 paused, 0 stopped; any other answer counts as playing.
  const int32_t state = static_cast<int32_t>(QueryHost(0, kRequestPlaybackState));
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
    SendThroughLink(kClosingCommand);
  }
  return false;
}

static void RunTick() {
  const char* mark = nullptr;
  if (!CheckPlayback(&mark)) return;
  StatusComposer& composer = g_running.composer;
  const uint8_t tags = g_running.tagTokens;
  RefreshTrackFields(QueryHost, g_running.settings.utf8Text != 0, tags, &composer.fields);
  // A Save inside those queries whose template uses a tag not asked for
  // leaves it to the next tick, which asks.
  if ((g_running.tagTokens & ~tags) != 0) return;
  // Read only now: a Save or a stop that runs inside one of the queries above
  // replaces or frees the template.
  const char* format = composer.fields.encoding == TextEncoding::kUtf8 ? g_running.utf8Format
                                                                       : g_running.settings.statusFormat;
  const char* text = ComposeStatus(format, mark, &composer);
  if (text == nullptr || g_running.link == nullptr) return;

  // A Save inside the hand-over's waits empties the last text offered; the
  // text on its way out must not change under it.
  char outgoing[kLastTextSize];
  memcpy(outgoing, text, strlen(text) + 1);
  const PluginSettings& settings = g_running.settings;
  RecordOptions options = {settings.utf8Text, settings.statusIcon, settings.headphonesIcon, composer.offeredEncoding,
                           mark != nullptr ? strlen(mark) : 0};
  g_publishingLink = g_running.link;
  HandOver handOver = g_publishingLink->PublishStatus(outgoing, options);
  g_publishingLink = nullptr;
  // The messenger may still apply it late, but nothing says it did: offer the
  // text again on the next tick rather than leave a stale status standing.
  if (handOver == HandOver::kUnconfirmed) ForgetLastTextOffered(&composer);
}

void CALLBACK OnTimerTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_tickRunning) return;
  ActiveCall call;
  g_tickRunning = true;
  RunTick();
  // Still inside this call: a stop during the goodbye's wait finds it active.
  MessengerLink* retired = g_retiredLink;
  g_retiredLink = nullptr;
  delete retired;
  g_tickRunning = false;
}

void RetireLink(MessengerLink* link) {
  if (link == nullptr) return;
  if (link == g_publishingLink) {
    g_retiredLink = link;
    return;
  }
  delete link;
}
