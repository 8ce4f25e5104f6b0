// The texts the template placeholders insert, refreshed from the host on
// every tick: eight from the playlist title and the playback, four from the
// entry's tags.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/host_text.h"
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
  kRequestEntryFileName = 211,     // wParam = playlist position: the ANSI file name's address
  kRequestEntryWideFileName = 214, // wParam = playlist position: the UTF-16 file name's address
  kRequestFileTag = 290,           // wParam = a FileTagRequest: 1 when the file's decoder knows tags
  kRequestWideFileTag = 3026,      // wParam = a WideFileTagRequest: the same with wide texts
  kRequestPlayingVideo = 501,      // wParam 0: above 1 while video plays; 1 from a host that cannot tell
};

// The host fills ret (at most retlen bytes, its zero included) with the tag
// named by metadata of the file.
struct FileTagRequest {
  const char* filename;
  const char* metadata;
  char* ret;
  size_t retlen;
};
// The same in UTF-16; retlen counts characters.
struct WideFileTagRequest {
  const uint16_t* filename;
  const uint16_t* metadata;
  uint16_t* ret;
  size_t retlen;
};
static_assert(sizeof(FileTagRequest) == 4 * sizeof(void*) && sizeof(WideFileTagRequest) == 4 * sizeof(void*),
              "the host reads four pointer-sized words");

// The placeholders a template must name for the fields to hold their texts
// (and for a text to count as theirs): the four tags, the playback state and
// the elapsed time, as bits of a set; they follow the eight others in this
// order.
enum TokenBits : uint8_t {
  kTagAlbum = 1, kTagYear = 2, kTagGenre = 4, kTagTrack = 8, kStateToken = 16, kElapsedToken = 32
};
constexpr int kTagCount = 4;
constexpr uint8_t kTagTokens = kTagAlbum | kTagYear | kTagGenre | kTagTrack;
constexpr int kNamedTokenCount = 6;

constexpr size_t kTitleSize = 260;        // songText and lastTitle, terminating zero included
constexpr size_t kNumberTextSize = 24;    // any 32-bit value in its format, with the zero
constexpr size_t kProgressTextSize = 13;  // "[----------]" and the zero
constexpr size_t kTagSize = 128;          // a tag's text and the zero, cut between characters
// A file name and its zero, in units; a longer one is not kept (a cut name
// would name another file).
constexpr size_t kFileNameSize = 1024;

// The forms of an entry's file name, as bits of a set.
enum FileNameBits : uint8_t { kWideFileName = 1, kAnsiFileName = 2 };
// The file names a caller needs for each entry besides the tags' own, as
// bits of a set: the name as the tags ask it (in either form), the ANSI one.
enum FileNameNeeds : uint8_t { kNeedsFileName = 1, kNeedsAnsiFileName = 2 };

struct TrackFields {
  char songText[kTitleSize];           // $A: the artist part, or the whole title
  const char* titlePart;               // $T: inside songText, or null
  char positionText[kNumberTextSize];  // $I
  char lengthText[kNumberTextSize];    // $D
  char bitrateText[kNumberTextSize];   // $B
  char sampleRateText[kNumberTextSize];  // $S
  char listLengthText[kNumberTextSize];  // $L
  char progressText[kProgressTextSize];  // $P
  char stateText[kNumberTextSize];       // $M: "paused", "stopped", or empty while playing (SetPlaybackState)
  char elapsedText[kNumberTextSize];     // $E: the position as $D writes a length; empty without one
  char lastTitle[kTitleSize];          // title at the last refresh, after the buffering substitution
  TextEncoding encoding;               // of the texts above: UTF-8 when the host gave a wide title
  char tagTexts[kTagCount][kTagSize];  // $R album, $Y year, $G genre, $N track number; empty when unknown
  uint8_t tagsKnown;                   // the tags (TokenBits) asked for the current entry
  bool changed;                        // a refresh changed a text since the composer last looked
  // The current entry's playlist position and file names (their requests'
  // answers, kept whole), from the tick that found it and, while the
  // template shows a tag or a hide rule reads a name, every tick since.
  uint32_t entryCount;  // entries found so far: a new entry counts one more
  int32_t entryPosition;
  uint8_t fileNamesAsked;                // FileNameBits asked for the current entry
  uint8_t fileNamesKnown;                // FileNameBits whose name below is the current entry's
  uint16_t wideFileName[kFileNameSize];  // from request 214
  char fileName[kFileNameSize];          // from request 211, in the ANSI code page
};

// One tick's refresh: the fields of a new title, the bar always, and of the
// placeholders in `tokens` (TokenBits) the tags once per entry and the
// elapsed time always. An entry is new when its title or its playlist
// position changes, or a file name that is part of its identity: the one the
// tags ask by while `tokens` names a tag, and those in `names`
// (FileNameNeeds, what the hide rules read), each asked on every tick then.
// While `tokens` names a tag, its fields follow the entry rather than the
// title. With wideTitle the title is asked for as wide text and the fields
// are UTF-8; a host that gives none falls back to the ANSI title.
void RefreshTrackFields(HostQueryFn query, bool wideTitle, uint8_t tokens, uint8_t names, TrackFields* fields);

// $M's text from the host's playback state (request 104): 3 paused, 0
// stopped, any other answer playing (the empty text).
void SetPlaybackState(int32_t state, TrackFields* fields);

// Asks the host for the tags in `tags` of the entry at position, by the file
// names kept in fields, into fields->tagTexts in fields->encoding
// (track_tags.cpp).
void RefreshTrackTags(HostQueryFn query, int32_t position, uint8_t tags, TrackFields* fields);

// Asks the host for the file names in `needs` (FileNameNeeds) of the entry at
// position and keeps them in fields: the name the tags ask by (wide text for
// UTF-8 fields, else and from a host that does not know that request ANSI),
// and the ANSI one. Returns the forms asked (FileNameBits); *changed when one
// is not the name kept before. A name that does not fit, or no address, is
// none: the same as none before in that form, never as a name kept
// (track_tags.cpp).
uint8_t AskFileNames(HostQueryFn query, int32_t position, TextEncoding encoding, uint8_t needs, TrackFields* fields,
                     bool* changed);
