// One tick on the host's UI thread: compose the status and hand a changed text
// to the messenger link.
#include "composer/timer_tick.h"

#include <string.h>

#include "composer/status_composer.h"
#include "host/host_query.h"
#include "host/lifecycle.h"
#include "messenger/messenger_link.h"

// An outgoing COM call to the messenger may pump this thread's messages while
// it waits, which can dispatch the next timer expiry; that tick must not run
// inside this one.
static bool g_tickRunning = false;
// The link the running tick is publishing through, and one that was retired
// while it did (see DestroyLinkAfterTick).
static MessengerLink* g_publishingLink = nullptr;
static MessengerLink* g_retiredLink = nullptr;

void CALLBACK OnTimerTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_tickRunning) return;
  g_tickRunning = true;
  const char* text = ComposeStatus(QueryHost, g_module.settings.statusFormat, &g_module.composer);
  if (text != nullptr && g_module.link != nullptr) {
    // A Save inside the hand-over's waits empties the last text offered; the
    // text on its way out must not change under it.
    char outgoing[kLastTextSize];
    memcpy(outgoing, text, strlen(text) + 1);
    g_publishingLink = g_module.link;
    g_publishingLink->PublishStatus(outgoing, g_module.settings);
    g_publishingLink = nullptr;
    MessengerLink* retired = g_retiredLink;
    g_retiredLink = nullptr;
    delete retired;
  }
  g_tickRunning = false;
}

void DestroyLinkAfterTick(MessengerLink* link) {
  if (link == nullptr) return;
  if (link == g_publishingLink) {
    g_retiredLink = link;
    return;
  }
  delete link;
}
