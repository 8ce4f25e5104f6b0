// The modal settings dialog (template 101). It edits a copy of the settings
// and hands the copy to whoever opened it; it never reaches into the running
// plug-in itself.
#pragma once

#include <windows.h>

#include "settings/plugin_settings.h"

// The product page the link control opens.
extern const char kProductPageUrl[];

struct ConfigDialogSession {
  // What the controls show when the dialog opens.
  const PluginSettings* shown;
  // Save: gets the settings read from the controls and owns their template
  // from then on; dialog is the owner for any message it shows.
  void (*save)(PluginSettings* edited, HWND dialog);
  // The preview line's text for the settings the controls hold: with
  // askHost from the host's answers now (once a second), else from the last
  // ones; false when it wrote nothing. Null: no preview.
  bool (*preview)(const PluginSettings& edited, bool askHost, WCHAR* text, int size);
  // The open dialog, from its opening until it is destroyed; null otherwise.
  HWND dialog;
};

// Runs the dialog modally with session as its state; returns when it closes.
void RunConfigDialog(HINSTANCE module, HWND owner, ConfigDialogSession* session);

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows a change of "Enable status changing" made while the dialog is open
// (by the hotkey), so a Save keeps it. A null dialog is none open.
void ShowStatusChangingEnabled(HWND dialog, bool enabled);
