// The composing half of a tick: refresh, expand, compare with the last text
// offered. The Windows timer callback adds the hand-over to the messenger.
#pragma once

#include "composer/expand_template.h"
#include "composer/track_fields.h"

enum : size_t { kLastTextSize = 260 };  // 259 bytes of text and the zero

struct StatusComposer {
  TrackFields fields;
  char lastTextOffered[kLastTextSize];
};

// Refreshes, expands and compares. Returns lastTextOffered when the text changed and
// must be offered (it is remembered first), or null when it did not.
// Allocates nothing.
const char* ComposeStatus(HostQueryFn query, const char* statusFormat, StatusComposer* composer);

// Forgets the last text offered, so the next tick offers even an unchanged text.
void ForgetLastTextOffered(StatusComposer* composer);
