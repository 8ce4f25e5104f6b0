// The modal settings dialog: shows the settings, and on Save stores them,
// writes the file and restarts the timer and the messenger link.
#include "settings/config_dialog.h"

#include <shellapi.h>
#include <stdlib.h>

#include <new>

#include "composer/timer_tick.h"
#include "host/lifecycle.h"
#include "messenger/messenger_link.h"
#include "resources/resource_ids.h"
#include "settings/settings_file.h"

const char kProductPageUrl[] = "https://www.kestrima.com/Kestrima/?from=winamp";

static const char kDialogCaption[] = "Tavrin";
static const char kPlaceholderLegend[] =
    "$A - artist\n$T - title\n$P - progress bar\n$D - song length\n$B - bitrate\n$S - samplerate\n"
    "$I - playlist position\n$L - playlist length";
static const char* const kStatusIconNames[] = {"None", "Busy", "Idle"};

enum : WPARAM {
  kStatusFormatLimit = 255,
  kIntervalDigitsLimit = 2,
};

static BYTE CheckedFlag(HWND dialog, int control) {
  return IsDlgButtonChecked(dialog, control) == BST_CHECKED ? 1 : 0;
}

static void CheckFlag(HWND dialog, int control, BYTE flag) {
  CheckDlgButton(dialog, control, flag ? BST_CHECKED : BST_UNCHECKED);
}

static void OnOpening(HWND dialog) {
  const PluginSettings& settings = g_module.settings;
  HWND iconList = GetDlgItem(dialog, IDC_STATUS_ICON);
  for (const char* name : kStatusIconNames) SendMessageA(iconList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, EM_LIMITTEXT, kStatusFormatLimit, 0);
  SendDlgItemMessageA(dialog, IDC_INTERVAL, EM_LIMITTEXT, kIntervalDigitsLimit, 0);
  SetDlgItemTextA(dialog, IDC_STATUS_FORMAT, settings.statusFormat != nullptr ? settings.statusFormat : "");
  SetDlgItemInt(dialog, IDC_INTERVAL, settings.intervalSeconds, FALSE);
  SendMessageA(iconList, CB_SETCURSEL, settings.statusIcon, 0);
  CheckFlag(dialog, IDC_HEADPHONES, settings.headphonesIcon);
  CheckFlag(dialog, IDC_ENABLED, settings.enabled);
  CheckFlag(dialog, IDC_UTF8, settings.utf8Text);
  SetWindowTextA(dialog, kDialogCaption);
  SetDlgItemTextA(dialog, IDC_LEGEND, kPlaceholderLegend);
}

// Takes the template from its edit. If the copy cannot be allocated, the old
// template stays: the tick must never see a missing one.
static void ReadStatusFormat(HWND dialog) {
  HWND edit = GetDlgItem(dialog, IDC_STATUS_FORMAT);
  size_t length = static_cast<size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
  char* text = static_cast<char*>(malloc(length + 1));
  if (text == nullptr) return;
  text[0] = '\0';
  GetWindowTextA(edit, text, static_cast<int>(length + 1));
  free(g_module.settings.statusFormat);
  g_module.settings.statusFormat = text;
}

static void ReadControls(HWND dialog) {
  PluginSettings& settings = g_module.settings;
  ReadStatusFormat(dialog);
  // Empty or non-numeric gives 0; the edit takes at most two characters.
  settings.intervalSeconds = static_cast<BYTE>(GetDlgItemInt(dialog, IDC_INTERVAL, nullptr, FALSE));
  // No selection (CB_ERR) would otherwise be stored as icon 255.
  LRESULT icon = SendDlgItemMessageA(dialog, IDC_STATUS_ICON, CB_GETCURSEL, 0, 0);
  settings.statusIcon = icon == CB_ERR ? BYTE{kStatusIconNone} : static_cast<BYTE>(icon);
  settings.headphonesIcon = CheckedFlag(dialog, IDC_HEADPHONES);
  settings.enabled = CheckedFlag(dialog, IDC_ENABLED);
  settings.utf8Text = CheckedFlag(dialog, IDC_UTF8);
}

// Stops the timer and the link, then, if enabled, starts both afresh so the
// next tick offers the current status again with the new settings.
static void RestartPublishing() {
  if (g_module.timerId != 0) {
    KillTimer(nullptr, g_module.timerId);
    // A stale id must not reach KillTimer at stop: by then it may name a
    // timer of the host's own.
    g_module.timerId = 0;
  }
  MessengerLink* link = g_module.link;
  g_module.link = nullptr;
  DestroyLinkAfterTick(link);
  if (!g_module.settings.enabled) return;
  ForgetLastTextOffered(&g_module.composer);
  StartTickTimer();
  g_module.link = new (std::nothrow) MessengerLink;
}

static void OnSave(HWND dialog) {
  ReadControls(dialog);
  SaveSettings();
  RestartPublishing();
  EndDialog(dialog, 0);
}

// Cancel, Escape and the system menu's Close all arrive as IDCANCEL.
static void OnCancel(HWND dialog) { EndDialog(dialog, 0); }

// Every notification of the link control opens the page: a double click opens
// it twice. The dialog stays open.
static void OnProductLink(HWND dialog) {
  ShellExecuteA(dialog, "open", kProductPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

static void OnCommand(HWND dialog, WORD control) {
  switch (control) {
    case IDC_SAVE: OnSave(dialog); break;
    case IDC_CANCEL: OnCancel(dialog); break;
    case IDC_PRODUCT_LINK: OnProductLink(dialog); break;
    default: break;
  }
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: OnOpening(dialog); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
    default: break;
  }
  return 0;
}
