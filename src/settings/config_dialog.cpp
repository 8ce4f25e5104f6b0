// The modal settings dialog: shows the settings, and on Save hands what the
// controls hold to the session's owner, which stores, writes and applies it.
#include "settings/config_dialog.h"

#include <shellapi.h>
#include <stdlib.h>

#include "resources/resource_ids.h"

const char kProductPageUrl[] = "https://www.kestrima.com/Kestrima/?from=winamp";

static const char kDialogCaption[] = "Tavrin";
// Eight lines fill the legend's box: two placeholders a line.
static const char kPlaceholderLegend[] =
    "$A artist   $T title\n$R album   $Y year\n$G genre   $N track no.\n$P bar   $E elapsed\n"
    "$D length   $B bitrate\n$S samplerate   $I position\n$L list length   $M paused\n"
    "$( ... $) gone if one is empty";
static const char* const kStatusIconNames[] = {"None", "Busy", "Idle"};
// In the order of WhenNotPlaying.
static const char* const kWhenNotPlayingNames[] = {"Keep status", "Mark status", "Clear status"};

constexpr WPARAM kStatusFormatLimit = 255;
constexpr WPARAM kIntervalDigitsLimit = 2;
constexpr WPARAM kDelayDigitsLimit = 2;
constexpr WPARAM kHiddenPathWordsLimit = kHiddenPathWordsSize - 1;
// The limit counts characters, which take up to two bytes each in a
// double-byte code page; what is read is then cut to the record's bytes.
constexpr int kHiddenPathWordsReadSize = 2 * kHiddenPathWordsLimit + 1;

constexpr UINT_PTR kPreviewTimer = 1;
constexpr UINT kPreviewPeriodMs = 1000;  // the host is asked for it at most this often
constexpr int kPreviewSize = 800;        // the longest status with its line breaks shown

static ConfigDialogSession* SessionOf(HWND dialog) {
  return reinterpret_cast<ConfigDialogSession*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

static BYTE CheckedFlag(HWND dialog, int control) {
  return SendDlgItemMessageA(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

static void CheckFlag(HWND dialog, int control, BYTE flag) {
  SendDlgItemMessageA(dialog, control, BM_SETCHECK, flag ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Fills a drop-down list with names and selects one.
template <size_t count>
static void FillList(HWND dialog, int control, const char* const (&names)[count], uint8_t selected) {
  HWND list = GetDlgItem(dialog, control);
  for (const char* name : names) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(list, CB_SETCURSEL, selected, 0);
}

// The selected index of a drop-down list; none selected (CB_ERR) gives 0,
// which would otherwise be stored as 255.
static BYTE SelectedIndex(HWND dialog, int control) {
  LRESULT index = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? BYTE{0} : static_cast<BYTE>(index);
}

static void UpdatePreview(HWND dialog, ConfigDialogSession* session, bool askHost);

static void OnOpening(HWND dialog, ConfigDialogSession* session) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(session));
  session->dialog = dialog;
  const PluginSettings& settings = *session->shown;
  FillList(dialog, IDC_STATUS_ICON, kStatusIconNames, settings.statusIcon);
  SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, EM_LIMITTEXT, kStatusFormatLimit, 0);
  SendDlgItemMessageA(dialog, IDC_INTERVAL, EM_LIMITTEXT, kIntervalDigitsLimit, 0);
  SetDlgItemTextA(dialog, IDC_STATUS_FORMAT, settings.statusFormat != nullptr ? settings.statusFormat : "");
  SetDlgItemInt(dialog, IDC_INTERVAL, settings.intervalSeconds, FALSE);
  CheckFlag(dialog, IDC_HEADPHONES, settings.headphonesIcon);
  CheckFlag(dialog, IDC_ENABLED, settings.enabled);
  CheckFlag(dialog, IDC_UTF8, settings.utf8Text);
  SetWindowTextA(dialog, kDialogCaption);
  SetDlgItemTextA(dialog, IDC_LEGEND, kPlaceholderLegend);
  FillList(dialog, IDC_WHEN_NOT_PLAYING, kWhenNotPlayingNames, settings.whenNotPlaying);
  CheckFlag(dialog, IDC_HIDE_STREAMS, settings.hideFlags & kHideStreams);
  CheckFlag(dialog, IDC_HIDE_VIDEOS, settings.hideFlags & kHideVideos);
  SendDlgItemMessageA(dialog, IDC_NEW_SONG_DELAY, EM_LIMITTEXT, kDelayDigitsLimit, 0);
  SetDlgItemInt(dialog, IDC_NEW_SONG_DELAY, settings.newSongDelaySeconds, FALSE);
  SendDlgItemMessageA(dialog, IDC_HIDDEN_PATH_WORDS, EM_LIMITTEXT, kHiddenPathWordsLimit, 0);
  SetDlgItemTextA(dialog, IDC_HIDDEN_PATH_WORDS, settings.hiddenPathWords);
  if (session->preview == nullptr) return;
  // The preview line, under the template: a Unicode window of its own, so
  // that titles in any script show as themselves. In dialog units, beside
  // its label; set field by field, as a braced RECT would bring its bytes in
  // a data section of their own.
  RECT rect;
  rect.left = 38, rect.top = 74, rect.right = 279, rect.bottom = 84;
  MapDialogRect(dialog, &rect);
  HWND preview = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                 rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                                 reinterpret_cast<HMENU>(IDC_PREVIEW), nullptr, nullptr);
  SendMessageA(preview, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
  SetTimer(dialog, kPreviewTimer, kPreviewPeriodMs, nullptr);
  UpdatePreview(dialog, session, true);
}

// The template's text as a new heap text, or null when it cannot be allocated.
static char* ReadStatusFormat(HWND dialog) {
  HWND edit = GetDlgItem(dialog, IDC_STATUS_FORMAT);
  size_t length = static_cast<size_t>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
  char* text = static_cast<char*>(malloc(length + 1));
  if (text == nullptr) return nullptr;
  text[0] = '\0';
  GetWindowTextA(edit, text, static_cast<int>(length + 1));
  return text;
}

// Control characters never stay in the template, typed or pasted (see
// RemoveControlCharacters); the caret keeps its place among what is left.
static void KeepControlCharactersOut(HWND dialog) {
  char* text = ReadStatusFormat(dialog);
  if (text == nullptr) return;
  HWND edit = GetDlgItem(dialog, IDC_STATUS_FORMAT);
  DWORD caret = 0;
  SendMessageA(edit, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
  size_t keptBeforeCaret = 0;
  for (size_t i = 0; i < caret && text[i] != '\0'; ++i)
    if (!IsControlCharacter(text[i])) ++keptBeforeCaret;
  if (RemoveControlCharacters(text) > 0) {
    SetWindowTextA(edit, text);
    SendMessageA(edit, EM_SETSEL, keptBeforeCaret, keptBeforeCaret);
  }
  free(text);
}

static PluginSettings ReadControls(HWND dialog) {
  PluginSettings settings = {};
  settings.statusFormat = ReadStatusFormat(dialog);
  // Empty or non-numeric gives 0; the edit takes at most two characters.
  settings.intervalSeconds = static_cast<BYTE>(GetDlgItemInt(dialog, IDC_INTERVAL, nullptr, FALSE));
  settings.statusIcon = SelectedIndex(dialog, IDC_STATUS_ICON);
  settings.headphonesIcon = CheckedFlag(dialog, IDC_HEADPHONES);
  settings.enabled = CheckedFlag(dialog, IDC_ENABLED);
  settings.utf8Text = CheckedFlag(dialog, IDC_UTF8);
  settings.whenNotPlaying = SelectedIndex(dialog, IDC_WHEN_NOT_PLAYING);
  settings.hideFlags = static_cast<BYTE>((CheckedFlag(dialog, IDC_HIDE_STREAMS) ? kHideStreams : 0) |
                                         (CheckedFlag(dialog, IDC_HIDE_VIDEOS) ? kHideVideos : 0));
  // Empty or non-numeric gives 0; a text set past the edit's limit is held to 99.
  UINT delay = GetDlgItemInt(dialog, IDC_NEW_SONG_DELAY, nullptr, FALSE);
  settings.newSongDelaySeconds = static_cast<BYTE>(delay > kMaxNewSongDelaySeconds ? kMaxNewSongDelaySeconds : delay);
  char words[kHiddenPathWordsReadSize] = "";
  GetWindowTextA(GetDlgItem(dialog, IDC_HIDDEN_PATH_WORDS), words, kHiddenPathWordsReadSize);
  ReplaceHiddenPathWords(words, &settings);
  return settings;
}

// The preview of what the controls hold: as they change from the host's last
// answers, and each second from new ones (the bar and the elapsed time move).
static void UpdatePreview(HWND dialog, ConfigDialogSession* session, bool askHost) {
  if (session->preview == nullptr || GetDlgItem(dialog, IDC_PREVIEW) == nullptr) return;
  PluginSettings edited = ReadControls(dialog);
  WCHAR text[kPreviewSize];
  if (session->preview(edited, askHost, text, kPreviewSize)) SetDlgItemTextW(dialog, IDC_PREVIEW, text);
  FreeSettings(&edited);
}

static void OnSave(HWND dialog, ConfigDialogSession* session) {
  PluginSettings edited = ReadControls(dialog);
  session->save(&edited, dialog);
  EndDialog(dialog, 0);
}

// Cancel, Escape and the system menu's Close all arrive as IDCANCEL.
static void OnCancel(HWND dialog) { EndDialog(dialog, 0); }

// Every notification of the link control opens the page: a double click opens
// it twice. The dialog stays open.
static void OnProductLink(HWND dialog) {
  ShellExecuteA(dialog, "open", kProductPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

static void OnCommand(HWND dialog, WORD control, WORD notification) {
  ConfigDialogSession* session = SessionOf(dialog);
  if (session == nullptr) return;
  switch (control) {
    case IDC_STATUS_FORMAT:
      if (notification != EN_CHANGE) break;
      KeepControlCharactersOut(dialog);
      UpdatePreview(dialog, session, false);
      break;
    case IDC_HIDDEN_PATH_WORDS:
      if (notification == EN_CHANGE) UpdatePreview(dialog, session, false);
      break;
    case IDC_WHEN_NOT_PLAYING:
      if (notification == CBN_SELCHANGE) UpdatePreview(dialog, session, false);
      break;
    case IDC_ENABLED:
    case IDC_UTF8:
    case IDC_HIDE_STREAMS:
    case IDC_HIDE_VIDEOS:
      if (notification == BN_CLICKED) UpdatePreview(dialog, session, false);
      break;
    case IDC_SAVE: OnSave(dialog, session); break;
    case IDC_CANCEL: OnCancel(dialog); break;
    case IDC_PRODUCT_LINK: OnProductLink(dialog); break;
    default: break;
  }
}

static void OnTimer(HWND dialog, UINT_PTR timer) {
  ConfigDialogSession* session = SessionOf(dialog);
  if (timer == kPreviewTimer && session != nullptr) UpdatePreview(dialog, session, true);
}

static void OnDestroy(HWND dialog) {
  KillTimer(dialog, kPreviewTimer);
  ConfigDialogSession* session = SessionOf(dialog);
  if (session != nullptr) session->dialog = nullptr;
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnOpening(dialog, reinterpret_cast<ConfigDialogSession*>(lParam)); break;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); break;
    case WM_TIMER: OnTimer(dialog, wParam); break;
    case WM_DESTROY: OnDestroy(dialog); break;
    default: break;
  }
  return 0;
}

void ShowStatusChangingEnabled(HWND dialog, bool enabled) {
  if (dialog != nullptr) CheckFlag(dialog, IDC_ENABLED, enabled ? 1 : 0);
}

void RunConfigDialog(HINSTANCE module, HWND owner, ConfigDialogSession* session) {
  session->dialog = nullptr;
  DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDialogProc,
                  reinterpret_cast<LPARAM>(session));
  session->dialog = nullptr;
}
