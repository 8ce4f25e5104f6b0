// The eight placeholder texts, refreshed from the host's answers each tick.
#include "composer/track_fields.h"

#include <stdio.h>
#include <string.h>

#include "platform/text.h"

static const char kBufferingTitle[] = "[Buffering...]";
static const char kEmptyBar[] = "[----------]";
enum : int32_t { kBarCells = 10 };

// Numeric answers are 32-bit values in a pointer-sized result: keep the low
// 32 bits, as a signed value.
static int32_t AskNumber(HostQueryFn query, intptr_t wParam, intptr_t request) {
  return static_cast<int32_t>(static_cast<uint32_t>(query(wParam, request)));
}

// The title as the rest of the refresh sees it, in a buffer of kTitleSize.
// A missing title reads as the empty text. A stream that is buffering reports
// its progress in the title; one fixed text stands for all of those titles so
// they do not count as changes. A longer title is cut to 259 bytes at a
// character boundary, and it is that cut form that is compared and kept.
static void TakeTitle(const char* title, char* out) {
  if (title == nullptr) title = "";
  if (strstr(title, "Prebuffering : ") != nullptr || strstr(title, "[Buffer: ") != nullptr) {
    title = kBufferingTitle;
  }
  size_t length = FitText(title, kTitleSize - 1);
  memcpy(out, title, length);
  out[length] = '\0';
}

// "Artist - Title": songText keeps the artist, titlePart points at the title.
static void SplitTitle(TrackFields* fields) {
  char* song = fields->songText;
  char* hyphen = strstr(song, "- ");
  if (hyphen == nullptr) hyphen = strchr(song, '-');
  if (hyphen == nullptr) {
    fields->titlePart = nullptr;
    return;
  }
  if (hyphen == song) {  // nothing before it to call an artist: no split
    fields->titlePart = song;
    return;
  }
  char* titleStart = hyphen + 1;
  while (*titleStart == ' ') ++titleStart;
  char* artistEnd = hyphen;
  while (artistEnd > song && artistEnd[-1] == ' ') --artistEnd;
  *artistEnd = '\0';
  fields->titlePart = titleStart;
}

// Below an hour "m:ss", from an hour "h:mm:ss", with C's truncating division
// so odd negative lengths still give a bounded text; -1 (unknown) is empty.
static void FormatLength(int32_t seconds, char* out) {
  if (seconds == -1) {
    out[0] = '\0';
  } else if (seconds < 3600) {
    snprintf(out, kNumberTextSize, "%d:%02d", static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  } else {
    snprintf(out, kNumberTextSize, "%d:%02d:%02d", static_cast<int>(seconds / 3600),
             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  }
}

// Ten cells, whole seconds first. The cell is worked out in 64 bits and
// clamped into the bar (0..10; 10 takes the closing bracket), so a position
// past the end or below zero still draws a marker inside the bar.
// lengthSeconds is at least 1.
static void DrawProgressBar(int32_t lengthSeconds, int32_t positionMs, char* out) {
  int64_t cell = (static_cast<int64_t>(positionMs / 1000) * kBarCells) / lengthSeconds;
  if (cell < 0) cell = 0;
  if (cell > kBarCells) cell = kBarCells;
  memcpy(out, kEmptyBar, sizeof kEmptyBar);
  out[cell + 1] = '|';
}

void RefreshTrackFields(HostQueryFn query, TrackFields* fields) {
  int32_t position = AskNumber(query, 0, kRequestPlaylistPosition);
  char title[kTitleSize];
  TakeTitle(reinterpret_cast<const char*>(query(position, kRequestEntryTitle)), title);

  if (!TextEquals(title, fields->lastTitle)) {
    snprintf(fields->positionText, kNumberTextSize, "%lld", static_cast<long long>(position) + 1);
    memcpy(fields->songText, title, sizeof title);
    memcpy(fields->lastTitle, title, sizeof title);
    SplitTitle(fields);
    FormatLength(AskNumber(query, 1, kRequestPlaybackTime), fields->lengthText);
    snprintf(fields->bitrateText, kNumberTextSize, "%dkbps", static_cast<int>(AskNumber(query, 1, kRequestStreamInfo)));
    snprintf(fields->sampleRateText, kNumberTextSize, "%dkHz", static_cast<int>(AskNumber(query, 0, kRequestStreamInfo)));
    snprintf(fields->listLengthText, kNumberTextSize, "%d", static_cast<int>(AskNumber(query, 0, kRequestPlaylistLength)));
  }

  int32_t lengthSeconds = AskNumber(query, 1, kRequestPlaybackTime);
  if (lengthSeconds < 1) {
    fields->progressText[0] = '\0';
    return;
  }
  DrawProgressBar(lengthSeconds, AskNumber(query, 0, kRequestPlaybackTime), fields->progressText);
}
