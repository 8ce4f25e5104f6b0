// Expansion of the status template: each placeholder, in a fixed order,
// replaces its first occurrence in the text built so far.
#include "composer/expand_template.h"

#include <string.h>

#include "platform/text.h"

enum : size_t { kHalfTextBytes = kExpansionHalfSize - 1 };

// Appends pieces into one half. Bytes beyond the half's 1023 bytes of text are
// dropped, but the first dropped byte is kept in the half's last byte so that
// Finish can cut the text at a character boundary of the whole text.
struct HalfWriter {
  char* out;
  size_t length;
  bool overflowed;
};

static void Append(const char* bytes, size_t count, HalfWriter* writer) {
  if (writer->overflowed) return;
  size_t room = kExpansionHalfSize - writer->length;  // includes the last byte
  size_t n = count < room ? count : room;
  memcpy(writer->out + writer->length, bytes, n);
  writer->length += n;
  if (writer->length > kHalfTextBytes) writer->overflowed = true;
}

static void Finish(HalfWriter* writer) {
  size_t length = writer->length;
  if (writer->overflowed) length = FitText(writer->out, kHalfTextBytes);
  writer->out[length] = '\0';
}

// The fields in token order; $T is empty when the title was not split.
static void FieldTexts(const TrackFields& fields, const char* texts[8]) {
  texts[0] = fields.songText;
  texts[1] = fields.titlePart != nullptr ? fields.titlePart : "";
  texts[2] = fields.positionText;
  texts[3] = fields.lengthText;
  texts[4] = fields.bitrateText;
  texts[5] = fields.sampleRateText;
  texts[6] = fields.listLengthText;
  texts[7] = fields.progressText;
}

static const char* const kTokens[8] = {"$A", "$T", "$I", "$D", "$B", "$S", "$L", "$P"};

const char* ExpandTemplate(const char* format, const TrackFields& fields, ExpansionBuffer* work) {
  const char* texts[8];
  FieldTexts(fields, texts);

  HalfWriter first = {work->halves[0], 0, false};
  if (format != nullptr) Append(format, strlen(format), &first);
  Finish(&first);

  // Every step searches the whole text so far, values inserted by earlier
  // steps included, and writes into the other half.
  const char* current = work->halves[0];
  int target = 0;
  for (int i = 0; i < 8; ++i) {
    target ^= 1;
    HalfWriter writer = {work->halves[target], 0, false};
    size_t currentLength = strlen(current);
    ptrdiff_t at = FindText(current, kTokens[i]);
    if (at < 0) {
      Append(current, currentLength, &writer);
    } else {
      size_t k = static_cast<size_t>(at);
      Append(current, k, &writer);
      Append(texts[i], strlen(texts[i]), &writer);
      Append(current + k + 2, currentLength - k - 2, &writer);
    }
    Finish(&writer);
    current = writer.out;
  }
  return current;
}
