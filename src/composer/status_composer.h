// The composing half of a tick: expand the template with the refreshed
// fields and compare with the last text offered. The tick in src/host adds
// the host's queries before it and the hand-over to the messenger after it.
#pragma once

#include "composer/expand_template.h"
#include "composer/track_fields.h"

constexpr size_t kLastTextSize = 260;  // 259 bytes of text and the zero
constexpr size_t kMarkSize = 16;       // the longest mark, " (stopped)", with room to spare

struct StatusComposer {
  TrackFields fields;
  char lastTextOffered[kLastTextSize];
  TextEncoding offeredEncoding;  // of lastTextOffered
  // What the last comparison was made of besides the fields (which say
  // themselves when they change): while none of it changes, the text is the
  // same and is neither expanded nor compared again.
  bool compared;                 // neither the template changed nor the last text was forgotten since
  char comparedMark[kMarkSize];  // the mark it ended with
};

// Expands format (in the fields' encoding) with composer->fields, refreshed
// by RefreshTrackFields first, cuts it so that mark (an ASCII text such as
// " (paused)", or null) still fits after it, and compares the result with the
// last text offered. Returns lastTextOffered when the text changed and must
// be offered (it is remembered first), or null when it did not. Expands
// nothing when neither the fields nor the mark changed since the last call,
// nor RecomposeNextTick or ForgetLastTextOffered ran. Allocates nothing.
const char* ComposeStatus(const char* format, const char* mark, StatusComposer* composer);

// Forgets the last text offered, so the next tick offers even an unchanged text.
void ForgetLastTextOffered(StatusComposer* composer);

// The template changed: the next tick expands it even when the fields did not.
void RecomposeNextTick(StatusComposer* composer);
