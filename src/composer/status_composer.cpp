// TODO: being written. Placeholder so the tree links.
#include "composer/status_composer.h"

const char* ComposeStatus(HostQueryFn, const char*, StatusComposer*) { return nullptr; }
void ForgetLastTextOffered(StatusComposer* composer) { composer->lastTextOffered[0] = '\0'; }
