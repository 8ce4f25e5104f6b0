// The eight texts the template placeholders insert, refreshed from the host
// on every tick.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/text.h"

// Asks the host one question: request in lParam, argument in wParam. The
// result is pointer-sized because request 212 answers with an address; the
// numeric requests use its low 32 bits as a signed value.
typedef intptr_t (*HostQueryFn)(intptr_t wParam, intptr_t request);

// Host requests (lParam of the WM_USER query).
enum HostRequest : intptr_t {
  kRequestHostVersion = 0,         // wParam 0: 0x5050 or more from 5.5 on; 0 or 1 from a host that does not know it
  kRequestPlaylistPosition = 125,  // wParam 0
  kRequestEntryTitle = 212,        // wParam = playlist position: the ANSI title's address
  kRequestEntryWideTitle = 213,    // wParam = playlist position: the UTF-16 title's address
  kRequestPlaybackTime = 105,      // wParam 0: position in ms; 1: length in s (-1 unknown)
  kRequestStreamInfo = 126,        // wParam 0: sample rate kHz; 1: bitrate kbps
  kRequestPlaylistLength = 124,    // wParam 0
  kRequestPlaybackState = 104,     // wParam 0: 1 playing, 3 paused, 0 stopped
  kRequestSettingsFolder = 335,    // wParam 0: the address of the host's settings folder (ANSI)
};

constexpr size_t kTitleSize = 260;        // songText and lastTitle, terminating zero included
constexpr size_t kNumberTextSize = 24;    // any 32-bit value in its format, with the zero
constexpr size_t kProgressTextSize = 13;  // "[----------]" and the zero

struct TrackFields {
  char songText[kTitleSize];           // $A: the artist part, or the whole title
  const char* titlePart;               // $T: inside songText, or null
  char positionText[kNumberTextSize];  // $I
  char lengthText[kNumberTextSize];    // $D
  char bitrateText[kNumberTextSize];   // $B
  char sampleRateText[kNumberTextSize];  // $S
  char listLengthText[kNumberTextSize];  // $L
  char progressText[kProgressTextSize];  // $P
  char lastTitle[kTitleSize];          // title at the last refresh, after the buffering substitution
  TextEncoding encoding;               // of the texts above: UTF-8 when the host gave a wide title
};

// An answer below this is no address: a host that does not know a request
// may answer 0 or 1.
constexpr uintptr_t kLowestAddress = 0x10000;

// One tick's refresh: title-dependent fields on a title change, the bar
// always. With wideTitle the title is asked for as wide text and the fields
// are UTF-8; a host that gives none falls back to the ANSI title.
void RefreshTrackFields(HostQueryFn query, bool wideTitle, TrackFields* fields);
