// The composing part of a tick: expand the template and decide whether the
// text is new. Nothing here allocates: the expansion's storage lives on this
// call's stack and the lasting texts are fixed buffers.
#include "composer/status_composer.h"

#include <string.h>

#include "platform/text.h"

// Remembers what this comparison is made of; false when nothing changed
// since the last one. A mark too long to remember is never the same.
static bool TakeChanges(const char* mark, StatusComposer* composer) {
  const bool unchanged = composer->compared && !composer->fields.changed && strcmp(mark, composer->comparedMark) == 0;
  composer->fields.changed = false;
  const size_t markLength = strlen(mark);
  composer->compared = markLength < kMarkSize;
  if (composer->compared) memcpy(composer->comparedMark, mark, markLength + 1);
  return !unchanged;
}

const char* ComposeStatus(const char* format, const char* mark, StatusComposer* composer) {
  if (mark == nullptr) mark = "";
  if (!TakeChanges(mark, composer)) return nullptr;
  const TextEncoding encoding = composer->fields.encoding;
  ExpansionBuffer work;
  const char* expanded = ExpandTemplate(format, composer->fields, &work);

  // The text is cut to what the last-text buffer holds before the comparison,
  // so an overlong text equals what was stored and is not offered every tick;
  // a mark goes after the cut, so that it always shows.
  size_t markLength = strlen(mark);
  if (markLength > kLastTextSize - 1) markLength = kLastTextSize - 1;
  char text[kLastTextSize];
  size_t length = FitTextIn(encoding, expanded, kLastTextSize - 1 - markLength);
  memcpy(text, expanded, length);
  memcpy(text + length, mark, markLength);
  length += markLength;
  text[length] = '\0';
  if (encoding == composer->offeredEncoding && SameText(text, composer->lastTextOffered)) return nullptr;

  memcpy(composer->lastTextOffered, text, length + 1);
  composer->offeredEncoding = encoding;
  return composer->lastTextOffered;
}

void ForgetLastTextOffered(StatusComposer* composer) {
  composer->lastTextOffered[0] = '\0';
  composer->compared = false;
}

void RecomposeNextTick(StatusComposer* composer) { composer->compared = false; }
