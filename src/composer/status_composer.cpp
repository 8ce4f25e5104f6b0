// The composing part of a tick: expand the template and decide whether the
// text is new. Nothing here allocates: the expansion's storage lives on this
// call's stack and the lasting texts are fixed buffers.
#include "composer/status_composer.h"

#include <string.h>

#include "platform/text.h"

const char* ComposeStatus(const char* format, StatusComposer* composer) {
  ExpansionBuffer work;
  const char* expanded = ExpandTemplate(format, composer->fields, &work);

  // The text is cut to what the last-text buffer holds before the comparison,
  // so an overlong text equals what was stored and is not offered every tick.
  char text[kLastTextSize];
  size_t length = FitText(expanded, kLastTextSize - 1);
  memcpy(text, expanded, length);
  text[length] = '\0';
  if (TextEquals(text, composer->lastTextOffered)) return nullptr;

  memcpy(composer->lastTextOffered, text, length + 1);
  return composer->lastTextOffered;
}

void ForgetLastTextOffered(StatusComposer* composer) { composer->lastTextOffered[0] = '\0'; }
