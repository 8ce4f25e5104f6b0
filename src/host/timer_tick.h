// The timer callback: one tick on the host's UI thread, from the host's
// answers to the hand-over thread.
#pragma once

#include <windows.h>

#include "settings/plugin_settings.h"

void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// The settings dialog's preview: the text a tick would hand the messenger
// now with the settings in edited (the delay aside), as UTF-16 with line
// breaks as " / ", or why nothing would go out, in words. With askHost it
// asks the host what a tick would ask, else it uses the last answers.
// Publishes nothing, and leaves the running plug-in's state as it is.
// Returns false, writing nothing, when called inside its own question.
bool PreviewStatus(const PluginSettings& edited, bool askHost, WCHAR* out, int outSize);
// A new dialog's preview starts from nothing.
void ForgetPreview();
