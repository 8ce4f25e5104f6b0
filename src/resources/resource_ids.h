// Ids of the settings dialog and its controls. Shared by the .rc template and
// the C++ code, so only preprocessor definitions here.
#pragma once

#define IDD_CONFIG 101

#define IDC_SAVE 1
#define IDC_CANCEL 2
#define IDC_STATUS_FORMAT 1000
#define IDC_HEADPHONES 1003
#define IDC_STATUS_ICON 1005
#define IDC_LEGEND 1014
#define IDC_PRODUCT_LINK 1011
#define IDC_ENABLED 1008
#define IDC_UTF8 1010
#define IDC_INTERVAL 1009
#define IDC_WHEN_NOT_PLAYING 1016
#define IDC_HIDE_STREAMS 1017
#define IDC_HIDE_VIDEOS 1018
#define IDC_NEW_SONG_DELAY 1019
#define IDC_HIDDEN_PATH_WORDS 1020
#define IDC_PREVIEW 1021

// Labels, lines and frames that nothing refers to.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
