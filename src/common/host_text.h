// Texts the host answers by address (a folder, a file name): copied at once
// into a fixed buffer, since the host's own lasts only until its next answer.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// An answer below this is no address: a host that does not know a request
// may answer 0 or 1.
constexpr uintptr_t kLowestAddress = 0x10000;

inline bool IsHostAddress(intptr_t answer) { return static_cast<uintptr_t>(answer) >= kLowestAddress; }

// Copies the zero-terminated text at answer into out (size units, its zero
// included, size at least 1). False, with out the empty text, when the
// answer is no address or the text does not fit: a cut folder or file name
// would name another. Reads no further than answer[size - 1] and writes no
// further than out[size - 1]. (msvcrt on Windows XP has no strnlen.)
template <typename Unit>
bool CopyHostText(intptr_t answer, Unit* out, size_t size) {
  out[0] = 0;
  if (!IsHostAddress(answer)) return false;
  const Unit* text = reinterpret_cast<const Unit*>(answer);
  size_t length = 0;
  while (length < size && text[length] != 0) ++length;
  if (length == size) return false;
  memcpy(out, text, (length + 1) * sizeof(Unit));
  return true;
}
