// The timer callback: one tick on the host's UI thread.
#pragma once

#include <windows.h>

void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR timerId, DWORD time);
