// The modal settings dialog (template 101).
#pragma once

#include <windows.h>

// The product page the link control opens.
extern const char kProductPageUrl[];

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
