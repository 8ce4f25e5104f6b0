// The automation object's answer to query 103: fields separated by 0x04, the
// second of which is the signed-in profile's name.
#pragma once

#include <stddef.h>

// Copies the second field of reply (already in the ANSI code page) into name.
// Returns false, with name an empty text, when the reply lacks two 0x04
// separators, or the name is empty, holds a backslash or does not fit
// nameSize: such a name cannot address the profile's registry key.
bool ParseProfileReply(const char* reply, char* name, size_t nameSize);
