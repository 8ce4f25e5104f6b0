// The placeholder texts, refreshed from the host's answers each tick.
#include "composer/track_fields.h"

#include <string.h>

#include "common/bounded_writer.h"
#include "platform/text.h"

static const char kBufferingTitle[] = "[Buffering...]";
static const char kEmptyBar[] = "[----------]";
constexpr int32_t kBarCells = 10;

// Numeric answers are 32-bit values in a pointer-sized result: keep the low
// 32 bits, as a signed value.
static int32_t AskNumber(HostQueryFn query, intptr_t wParam, intptr_t request) {
  return static_cast<int32_t>(static_cast<uint32_t>(query(wParam, request)));
}

// Titles of a stream that is buffering report its progress; one fixed text
// stands for all of them so they do not count as changes.
static bool IsBuffering(const char* title) {
  return strstr(title, "Prebuffering : ") != nullptr || strstr(title, "[Buffer: ") != nullptr;
}

// The title as the rest of the refresh sees it, in a buffer of kTitleSize,
// after the buffering substitution. A longer title is cut to 259 bytes at a
// character boundary, and it is that cut form that is compared and kept.
// The title kept from the last change is already cut and holds no buffering
// marker, so the same title again (most ticks) needs neither step.
static void TakeTitle(const char* title, TextEncoding encoding, const char* lastTitle, char* out) {
  size_t length;
  if (SameText(title, lastTitle)) {
    length = strlen(title);
  } else {
    if (IsBuffering(title)) title = kBufferingTitle;
    length = FitTextIn(encoding, title, kTitleSize - 1);
  }
  memcpy(out, title, length);
  out[length] = '\0';
}

// The host's title for the entry at position, copied at once: its buffer is
// valid only until the next query. A wide title becomes UTF-8; without one
// (a host that does not know the request answers 0 or 1) the ANSI title is
// asked for, and a missing one reads as the empty text.
static TextEncoding AskTitle(HostQueryFn query, int32_t position, bool wideTitle, const char* lastTitle, char* out) {
  if (wideTitle) {
    intptr_t answer = query(position, kRequestEntryWideTitle);
    if (static_cast<uintptr_t>(answer) >= kLowestAddress) {
      // Room for the buffering markers past the title's own bound.
      char converted[4 * kTitleSize];
      Utf16ToUtf8(reinterpret_cast<const uint16_t*>(answer), converted, sizeof converted);
      TakeTitle(converted, TextEncoding::kUtf8, lastTitle, out);
      return TextEncoding::kUtf8;
    }
  }
  intptr_t answer = query(position, kRequestEntryTitle);
  const char* title = static_cast<uintptr_t>(answer) >= kLowestAddress ? reinterpret_cast<const char*>(answer) : "";
  TakeTitle(title, TextEncoding::kAnsi, lastTitle, out);
  return TextEncoding::kAnsi;
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

// Below an hour "%d:%02d", from an hour "%d:%02d:%02d", with C's truncating
// division so odd negative lengths still give a bounded text; -1 (unknown) is
// empty.
static void FormatLength(int32_t seconds, char* out) {
  BoundedWriter text(out, kNumberTextSize);
  if (seconds == -1) return;
  if (seconds >= 3600) {
    text.AppendDecimal(seconds / 3600);
    text.AppendText(":");
    text.AppendDecimal(seconds / 60 % 60, 2);
  } else {
    text.AppendDecimal(seconds / 60 % 60);
  }
  text.AppendText(":");
  text.AppendDecimal(seconds % 60, 2);
}

// A number in decimal followed by its unit ("%dkbps"); the unit may be empty.
static void FormatNumber(int64_t value, const char* unit, char* out) {
  BoundedWriter text(out, kNumberTextSize);
  text.AppendDecimal(value);
  text.AppendText(unit);
}

// Ten cells, whole seconds first. The cell is clamped into the bar (0..10; 10
// takes the closing bracket), so a position past the end or below zero still
// draws a marker inside the bar. 32 bits are enough: whole seconds times ten
// stay within +-21,474,840. lengthSeconds is at least 1.
static void DrawProgressBar(int32_t lengthSeconds, int32_t positionMs, char* out) {
  int32_t cell = positionMs / 1000 * kBarCells / lengthSeconds;
  if (cell < 0) cell = 0;
  if (cell > kBarCells) cell = kBarCells;
  memcpy(out, kEmptyBar, sizeof kEmptyBar);
  out[cell + 1] = '|';
}

// The bar, or the empty text when the host knows no length. Returns the
// position asked for it, or -1 without a length (no position is asked then).
static int32_t DrawProgress(HostQueryFn query, char* out) {
  int32_t lengthSeconds = AskNumber(query, 1, kRequestPlaybackTime);
  out[0] = '\0';
  if (lengthSeconds < 1) return -1;
  const int32_t positionMs = AskNumber(query, 0, kRequestPlaybackTime);
  DrawProgressBar(lengthSeconds, positionMs, out);
  return positionMs;
}

// Copies a text that changed into its field and says so.
static void KeepChanged(const char* text, char* field, size_t size, TrackFields* fields) {
  if (strcmp(text, field) == 0) return;
  memcpy(field, text, size);
  fields->changed = true;
}

void SetPlaybackState(int32_t state, TrackFields* fields) {
  const char* text = state == 3 ? "paused" : state == 0 ? "stopped" : "";
  KeepChanged(text, fields->stateText, strlen(text) + 1, fields);
}

void RefreshTrackFields(HostQueryFn query, bool wideTitle, uint8_t tokens, uint8_t names, TrackFields* fields) {
  const uint8_t tags = tokens & kTagTokens;
  int32_t position = AskNumber(query, 0, kRequestPlaylistPosition);
  char title[kTitleSize];
  TextEncoding encoding = AskTitle(query, position, wideTitle, fields->lastTitle, title);

  const bool newTitle = encoding != fields->encoding || !SameText(title, fields->lastTitle);
  bool newEntry = newTitle || position != fields->entryPosition;
  // Entries of one title may differ in their file (a new playlist) or their
  // position (a song queued twice): a status with a tag must show neither the
  // other file's tags nor the other position beside them, and a hide rule
  // must read the current file's name. Without a tag or a rule the fields
  // follow the title alone, and a tick asks nothing more.
  const uint8_t needs = names | (tags != 0 ? kNeedsFileName : 0);
  uint8_t namesAsked = 0;
  if (needs != 0) {
    bool nameChanged = false;
    namesAsked = AskFileNames(query, position, encoding, needs, fields, &nameChanged);
    newEntry = newEntry || nameChanged;
  }
  if (newTitle || (tags != 0 && newEntry)) {
    fields->encoding = encoding;
    FormatNumber(static_cast<int64_t>(position) + 1, "", fields->positionText);
    memcpy(fields->songText, title, sizeof title);
    memcpy(fields->lastTitle, title, sizeof title);
    SplitTitle(fields);
    FormatLength(AskNumber(query, 1, kRequestPlaybackTime), fields->lengthText);
    FormatNumber(AskNumber(query, 1, kRequestStreamInfo), "kbps", fields->bitrateText);
    FormatNumber(AskNumber(query, 0, kRequestStreamInfo), "kHz", fields->sampleRateText);
    FormatNumber(AskNumber(query, 0, kRequestPlaylistLength), "", fields->listLengthText);
    fields->changed = true;
  }
  if (newEntry) {
    ++fields->entryCount;
    fields->entryPosition = position;
    fields->tagsKnown = 0;
    // Only the names just asked are the new entry's.
    fields->fileNamesAsked &= namesAsked;
    fields->fileNamesKnown &= namesAsked;
  }

  const uint8_t unknownTags = tags & ~fields->tagsKnown;
  if (unknownTags != 0) RefreshTrackTags(query, position, unknownTags, fields);

  char bar[kProgressTextSize];
  const int32_t positionMs = DrawProgress(query, bar);
  if ((tokens & kElapsedToken) != 0) {
    // The position as a length, from the bar's own answer; none below 0.
    char elapsed[kNumberTextSize];
    elapsed[0] = '\0';
    if (positionMs >= 0) FormatLength(positionMs / 1000, elapsed);
    KeepChanged(elapsed, fields->elapsedText, sizeof elapsed, fields);
  }
  KeepChanged(bar, fields->progressText, sizeof bar, fields);
}
