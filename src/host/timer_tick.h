// The timer callback: one tick on the host's UI thread, from the host's
// answers to the hand-over thread.
#pragma once

#include <windows.h>

void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR timerId, DWORD time);
