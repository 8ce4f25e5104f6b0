// The composing half of a tick: expand the template with the refreshed
// fields and compare with the last text offered. The tick in src/host adds
// the host's queries before it and the hand-over to the messenger after it.
#pragma once

#include "composer/expand_template.h"
#include "composer/track_fields.h"

constexpr size_t kLastTextSize = 260;  // 259 bytes of text and the zero

struct StatusComposer {
  TrackFields fields;
  char lastTextOffered[kLastTextSize];
  TextEncoding offeredEncoding;  // of lastTextOffered
};

// Expands format (in the fields' encoding) with composer->fields, refreshed
// by RefreshTrackFields first, cuts it so that mark (an ASCII text such as
// " (paused)", or null) still fits after it, and compares the result with the
// last text offered. Returns lastTextOffered when the text changed and must
// be offered (it is remembered first), or null when it did not. Allocates
// nothing.
const char* ComposeStatus(const char* format, const char* mark, StatusComposer* composer);

// Forgets the last text offered, so the next tick offers even an unchanged text.
void ForgetLastTextOffered(StatusComposer* composer);
