// Expansion of the status template: each placeholder, in a fixed order,
// replaces its first occurrence in the text built so far.
#include "composer/expand_template.h"

#include <string.h>

#include "common/bounded_writer.h"
#include "platform/text.h"

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
  const TextEncoding encoding = fields.encoding;
  const FitTextFn fit = encoding == TextEncoding::kUtf8 ? FitUtf8 : FitText;

  BoundedWriter first(work->halves[0], kExpansionHalfSize);
  if (format != nullptr) first.AppendPart(format, strlen(format));
  first.CutAtCharBoundary(fit);

  // Every step searches the whole text so far, values inserted by earlier
  // steps included, and writes into the other half. A half that overflows is
  // cut at the last character boundary of the whole text that fits.
  const char* current = work->halves[0];
  int target = 0;
  for (int i = 0; i < 8; ++i) {
    target ^= 1;
    BoundedWriter writer(work->halves[target], kExpansionHalfSize);
    size_t currentLength = strlen(current);
    ptrdiff_t at = FindTextIn(encoding, current, kTokens[i]);
    if (at < 0) {
      writer.AppendPart(current, currentLength);
    } else {
      size_t k = static_cast<size_t>(at);
      writer.AppendPart(current, k);
      writer.AppendPart(texts[i], strlen(texts[i]));
      writer.AppendPart(current + k + 2, currentLength - k - 2);
    }
    writer.CutAtCharBoundary(fit);
    current = work->halves[target];
  }
  return current;
}
