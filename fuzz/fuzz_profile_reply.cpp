// Arbitrary replies into ParseProfileReply: a name is found exactly when the
// reply, read in characters of its code page, holds two 0x04 characters
// around a name that is not empty, holds no backslash and fits the buffer;
// it is then exactly that second field, and nothing crosses the buffer.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936), byte 1 the
// name buffer's size, then the reply (to a zero byte).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "messenger/profile_reply.h"
#include "platform/text_portable.h"
#include "reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const unsigned codePage = ref::PickCodePage(input.Byte());
  SetModelCodePage(codePage);
  const size_t nameSize = input.Byte();
  std::string reply;
  input.Text(&reply);

  // The one-byte characters 0x04 and '\', never the trail byte of another.
  std::vector<size_t> separators;
  std::vector<size_t> backslashes;
  const std::vector<size_t> starts = ref::Starts(codePage, reply);
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    if (starts[i + 1] - starts[i] != 1) continue;
    if (reply[starts[i]] == '\x04') separators.push_back(starts[i]);
    if (reply[starts[i]] == '\\') backslashes.push_back(starts[i]);
  }
  bool expected = separators.size() >= 2;
  std::string second;
  if (expected) {
    second = reply.substr(separators[0] + 1, separators[1] - separators[0] - 1);
    for (size_t at : backslashes) expected = expected && (at < separators[0] || at > separators[1]);
    expected = expected && !second.empty() && second.size() < nameSize;
  }

  // Exactly nameSize bytes on the heap, so ASan sees any access past them.
  char* name = static_cast<char*>(malloc(nameSize));
  const bool found = ParseProfileReply(reply.c_str(), name, nameSize);
  ref::Check(found == expected);
  if (nameSize > 0) ref::Check(found ? name == second : name[0] == '\0');
  free(name);
  return 0;
}
