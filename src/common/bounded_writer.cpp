// A tiny replacement for the few printf formats the plug-in needs; MinGW's
// printf family would bring its own formatting engine (floating point and
// all) into the DLL, several times the size of the rest of the code.
#include "common/bounded_writer.h"

#include <string.h>

BoundedWriter::BoundedWriter(char* out, size_t size)
    : out(out), size(size), length(0), failed(size == 0), cut(false) {
  if (size != 0) out[0] = '\0';
}

void BoundedWriter::Append(const char* bytes, size_t count) {
  if (failed || cut || count >= size - length) {
    failed = true;
    return;
  }
  memcpy(out + length, bytes, count);
  length += count;
  out[length] = '\0';
}

void BoundedWriter::AppendText(const char* text) { Append(text, strlen(text)); }

// Divides *value by 10 and returns the remainder, with 32-bit divisions only:
// on i686 a 64-bit division is a call into libgcc, whose helpers (about 1 KB
// with their unwind tables) would be most of what the DLL takes from it. The
// high word first, then the low word in two 16-bit halves, so that every
// dividend, the carried remainder included, stays below 10 * 2^16.
static unsigned DivideBy10(uint64_t* value) {
  const uint32_t high = static_cast<uint32_t>(*value >> 32);
  const uint32_t low = static_cast<uint32_t>(*value);
  const uint32_t upper = ((high % 10) << 16) | (low >> 16);
  const uint32_t lower = ((upper % 10) << 16) | (low & 0xFFFF);
  *value = (static_cast<uint64_t>(high / 10) << 32) | ((upper / 10) << 16) | (lower / 10);
  return lower % 10;
}

void BoundedWriter::AppendDecimal(int64_t value, int width) {
  // Built from the right; 20 digits hold any 64-bit magnitude, the rest is padding room.
  char digits[64];
  size_t start = sizeof digits;
  // The magnitude in unsigned arithmetic, so the most negative value has one too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[--start] = static_cast<char>('0' + DivideBy10(&magnitude));
  } while (magnitude != 0);
  int sign = value < 0 ? 1 : 0;
  int limit = static_cast<int>(sizeof digits) - 1;
  if (width > limit) width = limit;
  while (static_cast<int>(sizeof digits - start) + sign < width) digits[--start] = '0';
  if (sign) digits[--start] = '-';
  Append(digits + start, sizeof digits - start);
}

void BoundedWriter::AppendPart(const char* bytes, size_t count) {
  if (failed || cut) return;
  size_t room = size - 1 - length;
  if (count <= room) {
    memcpy(out + length, bytes, count);
    length += count;
    out[length] = '\0';
    return;
  }
  // One byte more than the text may hold: the last byte shows what follows the cut.
  memcpy(out + length, bytes, room + 1);
  length += room;
  cut = true;
}

void BoundedWriter::CutAtCharBoundary(FitTextFn fit) {
  if (!cut) return;
  length = fit(out, size - 1);
  out[length] = '\0';
}
