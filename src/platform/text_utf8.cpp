// The text services that do not depend on the system: UTF-8, and the choice
// between it and the ANSI code page.
#include <string.h>

#include "platform/text.h"
#include "platform/utf8.h"

ptrdiff_t FindTextIn(TextEncoding encoding, const char* text, const char* needle) {
  if (encoding == TextEncoding::kAnsi) return FindText(text, needle);
  if (text == nullptr || needle == nullptr) return -1;
  const char* found = strstr(text, needle);
  return found != nullptr ? found - text : -1;
}

size_t FitTextIn(TextEncoding encoding, const char* text, size_t maxBytes) {
  return encoding == TextEncoding::kAnsi ? FitText(text, maxBytes) : FitUtf8(text, maxBytes);
}

size_t FitUtf8(const char* text, size_t maxBytes) {
  if (text == nullptr) return 0;
  size_t length = 0;
  while (length < maxBytes && text[length] != '\0') ++length;
  if (length < maxBytes || text[length] == '\0') return length;
  // Cut before the character that text[maxBytes] belongs to.
  size_t cut = maxBytes;
  while (cut > 0 && utf8::IsContinuation(text[cut])) --cut;
  return cut;
}

static bool IsHighSurrogate(uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
static bool IsLowSurrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

size_t Utf16ToUtf8(const uint16_t* text, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return 0;
  size_t length = 0;
  for (size_t i = 0; text != nullptr && text[i] != 0;) {
    uint32_t codePoint = text[i];
    size_t units = 1;
    if (IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1])) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      units = 2;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      codePoint = 0xFFFD;
    }
    char encoded[4];
    size_t size = utf8::Encode(codePoint, encoded);
    if (size > outSize - 1 - length) break;
    memcpy(out + length, encoded, size);
    length += size;
    i += units;
  }
  out[length] = '\0';
  return length;
}
