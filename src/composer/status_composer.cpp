// The composing part of a tick: expand the template and decide whether the
// text is new. Nothing here allocates: the expansion's storage lives on this
// call's stack and the lasting texts are fixed buffers.
#include "composer/status_composer.h"

#include <string.h>

#include "platform/text.h"

const char* ComposeStatus(const char* format, const char* mark, StatusComposer* composer) {
  const TextEncoding encoding = composer->fields.encoding;
  ExpansionBuffer work;
  const char* expanded = ExpandTemplate(format, composer->fields, &work);

  // The text is cut to what the last-text buffer holds before the comparison,
  // so an overlong text equals what was stored and is not offered every tick;
  // a mark goes after the cut, so that it always shows.
  if (mark == nullptr) mark = "";
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

void ForgetLastTextOffered(StatusComposer* composer) { composer->lastTextOffered[0] = '\0'; }
