// Questions to the host: a synchronous WM_USER message to its main window.
#pragma once

#include <stdint.h>

// Request in lParam, argument in wParam; 0 when the host window is not known.
intptr_t QueryHost(intptr_t wParam, intptr_t request);
