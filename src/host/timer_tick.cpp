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

static void RunTick() {
  StatusComposer& composer = g_running.composer;
  RefreshTrackFields(QueryHost, &composer.fields);
  // Read only now: a Save or a stop that runs inside one of the queries above
  // replaces or frees the template.
  const char* text = ComposeStatus(g_running.settings.statusFormat, &composer);
  if (text == nullptr || g_running.link == nullptr) return;

  // A Save inside the hand-over's waits empties the last text offered; the
  // text on its way out must not change under it.
  char outgoing[kLastTextSize];
  memcpy(outgoing, text, strlen(text) + 1);
  const PluginSettings& settings = g_running.settings;
  RecordOptions options = {settings.utf8Text, settings.statusIcon, settings.headphonesIcon};
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
