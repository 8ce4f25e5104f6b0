// The key that turns publishing on and off: an action the plug-in registers
// with the player's Global Hotkeys service, which the user binds a key to.
#pragma once

#include <windows.h>

// Asks the host for its hotkey service, once per load of the DLL (a wait for
// the host's answer, like any question).
void AskHotkeyService();

// At start: a message-only window of ours on this (the UI) thread takes the
// key's presses and calls onPress. The action is registered once per load:
// the service cannot remove one, and adding the same id again spoils its
// name; it keeps the record's address and reads the record for as long as
// the player runs, so the record and its texts live in the process heap,
// never freed, and a later start only writes its new window into it. Nothing
// without the service, or without the window.
void StartStatusHotkey(void (*onPress)());

// At stop: the window and its class go; the dead window's handle stays in the
// record, and a press reaches nothing of ours.
void StopStatusHotkey();
