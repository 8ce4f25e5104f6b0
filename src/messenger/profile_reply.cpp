// The profile name inside the automation object's reply to query 103.
#include "messenger/profile_reply.h"

#include <string.h>

#include "platform/text.h"

bool ParseProfileReply(const char* reply, char* name, size_t nameSize) {
  if (name == nullptr || nameSize == 0) return false;
  name[0] = '\0';
  if (reply == nullptr) return false;

  ptrdiff_t first = FindText(reply, "\x04");
  if (first < 0) return false;
  const char* start = reply + first + 1;
  ptrdiff_t length = FindText(start, "\x04");
  if (length < 0) return false;

  // The name becomes part of a registry key path: an empty one, one holding a
  // backslash (which would address another key) or one that would have to be
  // shortened (another profile's key) names no profile we can write to.
  if (length == 0 || static_cast<size_t>(length) >= nameSize) return false;
  memcpy(name, start, static_cast<size_t>(length));
  name[length] = '\0';
  if (FindText(name, "\\") >= 0) {
    name[0] = '\0';
    return false;
  }
  return true;
}
