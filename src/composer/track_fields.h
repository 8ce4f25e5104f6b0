// The eight texts the template placeholders insert, refreshed from the host
// on every tick.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Asks the host one question: request in lParam, argument in wParam. The
// result is pointer-sized because request 212 answers with an address; the
// numeric requests use its low 32 bits as a signed value.
typedef intptr_t (*HostQueryFn)(intptr_t wParam, intptr_t request);

// Host requests (lParam of the WM_USER query).
enum HostRequest : intptr_t {
  kRequestPlaylistPosition = 125,  // wParam 0
  kRequestEntryTitle = 212,        // wParam = playlist position
  kRequestPlaybackTime = 105,      // wParam 0: position in ms; 1: length in s (-1 unknown)
  kRequestStreamInfo = 126,        // wParam 0: sample rate kHz; 1: bitrate kbps
  kRequestPlaylistLength = 124,    // wParam 0
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
};

// One tick's refresh: title-dependent fields on a title change, the bar always.
void RefreshTrackFields(HostQueryFn query, TrackFields* fields);
