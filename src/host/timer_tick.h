// The timer callback: one tick on the host's UI thread, from the host's
// answers to the messenger.
#pragma once

#include <windows.h>

class MessengerLink;

void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Destroys a link that is no longer the module's. A tick that is handing its
// text to that very link is waiting for the messenger, and that wait lets
// messages sent to this thread run, a Save or a stop among them; the link is
// then destroyed (and says goodbye) when the tick is done with it.
void RetireLink(MessengerLink* link);
