// Expansion of the status template: its fourteen placeholders and its
// sections.
#pragma once

#include <stddef.h>

#include "composer/track_fields.h"

constexpr size_t kExpansionHalfSize = 1024;  // 1023 bytes of text and the zero

// Working storage for one expansion: two halves filled alternately.
struct ExpansionBuffer {
  char halves[2][kExpansionHalfSize];
};

// Expands format with fields in work and returns the result, which lives in
// work. format is in the fields' encoding; a null one expands like an empty one.
const char* ExpandTemplate(const char* format, const TrackFields& fields, ExpansionBuffer* work);

// The placeholders beyond the first eight (TokenBits) that format names:
// those the fields must hold before it is expanded.
uint8_t NamedTokensIn(TextEncoding encoding, const char* format);

// The template in UTF-8 into out (kExpansionHalfSize bytes), for fields that
// came as wide text: an ANSI template of up to 1023 bytes (the longest a
// settings file holds), cut between characters like a half. Null is empty.
void ConvertTemplateToUtf8(const char* format, char* out);
