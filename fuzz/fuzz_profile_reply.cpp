// Arbitrary bytes into ParseProfileReply: the name never crosses its buffer,
// and a name found is the non-empty text between the reply's first two 0x04.
//
// Input: byte 0 the code page model (bit 0: 932), byte 1 the name buffer's
// size, then the reply (up to its first zero).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "messenger/profile_reply.h"
#include "platform/text_portable.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  SetModelCodePage((data[0] & 1) != 0 ? 932 : 1252);
  size_t nameSize = data[1];
  std::string reply(reinterpret_cast<const char*>(data + 2), size - 2);
  reply = reply.c_str();

  // Exactly nameSize bytes on the heap, so ASan sees any access past them.
  char* name = static_cast<char*>(malloc(nameSize == 0 ? 1 : nameSize));
  bool found = ParseProfileReply(reply.c_str(), name, nameSize);
  if (found) {
    size_t length = strnlen(name, nameSize);
    Check(length > 0 && length < nameSize);
    Check(strchr(name, '\\') == nullptr || ModelCodePage() == 932);
    size_t start = reply.find('\x04');
    Check(start != std::string::npos);
    Check(reply.compare(start + 1, length, name) == 0 || ModelCodePage() == 932);
  } else if (nameSize > 0) {
    Check(name[0] == '\0');
  }
  free(name);
  return 0;
}
