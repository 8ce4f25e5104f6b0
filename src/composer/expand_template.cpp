// Expansion of the status template: its sections first, then each
// placeholder, in a fixed order, replaces its first occurrence in the text
// built so far.
#include "composer/expand_template.h"

#include <string.h>

#include "common/bounded_writer.h"
#include "platform/text.h"

constexpr int kTokenCount = 8 + kNamedTokenCount;
static const char* const kTokens[kTokenCount] = {"$A", "$T", "$I", "$D", "$B", "$S", "$L",
                                                 "$P", "$R", "$Y", "$G", "$N", "$M", "$E"};

// The fields in token order; $T is empty when the title was not split.
static void FieldTexts(const TrackFields& fields, const char* texts[kTokenCount]) {
  texts[0] = fields.songText;
  texts[1] = fields.titlePart != nullptr ? fields.titlePart : "";
  texts[2] = fields.positionText;
  texts[3] = fields.lengthText;
  texts[4] = fields.bitrateText;
  texts[5] = fields.sampleRateText;
  texts[6] = fields.listLengthText;
  texts[7] = fields.progressText;
  for (int i = 0; i < kTagCount; ++i) texts[8 + i] = fields.tagTexts[i];
  texts[12] = fields.stateText;
  texts[13] = fields.elapsedText;
}

uint8_t NamedTokensIn(TextEncoding encoding, const char* format) {
  uint8_t tokens = 0;
  for (int i = 0; i < kNamedTokenCount; ++i)
    if (FindTextIn(encoding, format, kTokens[8 + i]) >= 0) tokens |= static_cast<uint8_t>(1 << i);
  return tokens;
}

// Whether no placeholder among the first `length` bytes of section has an
// empty text. A token cannot end past them: the "$)" after them is no letter.
static bool SectionFilled(TextEncoding encoding, const char* section, size_t length, const char* const texts[]) {
  for (int i = 0; i < kTokenCount; ++i) {
    ptrdiff_t at = FindTextIn(encoding, section, kTokens[i]);
    if (at >= 0 && static_cast<size_t>(at) < length && texts[i][0] == '\0') return false;
  }
  return true;
}

// Copies format with its sections settled: "$(" up to the next "$)" is kept
// without the two markers when every placeholder in it has a text, and left
// out whole when one is empty. A marker without its partner stays as typed.
static void CopySettlingSections(TextEncoding encoding, const char* format, const char* const texts[],
                                 BoundedWriter* writer) {
  const char* rest = format;
  for (;;) {
    ptrdiff_t open = FindTextIn(encoding, rest, "$(");
    ptrdiff_t close = open < 0 ? -1 : FindTextIn(encoding, rest + open + 2, "$)");
    if (close < 0) break;
    const char* section = rest + open + 2;
    writer->AppendPart(rest, static_cast<size_t>(open));
    if (SectionFilled(encoding, section, static_cast<size_t>(close), texts))
      writer->AppendPart(section, static_cast<size_t>(close));
    rest = section + close + 2;
  }
  writer->AppendPart(rest, strlen(rest));
}

const char* ExpandTemplate(const char* format, const TrackFields& fields, ExpansionBuffer* work) {
  const char* texts[kTokenCount];
  FieldTexts(fields, texts);
  const TextEncoding encoding = fields.encoding;
  const FitTextFn fit = encoding == TextEncoding::kUtf8 ? FitUtf8 : FitText;
  // A tag's token (and $M's, $E's) counts only where the template names it,
  // so that with any other template a "$R" that a title brings in stays as
  // it always did.
  const uint8_t named = NamedTokensIn(encoding, format);

  BoundedWriter first(work->halves[0], kExpansionHalfSize);
  if (format != nullptr) CopySettlingSections(encoding, format, texts, &first);
  first.CutAtCharBoundary(fit);

  // Every step searches the whole text so far, values inserted by earlier
  // steps included, and writes into the other half. A half that overflows is
  // cut at the last character boundary of the whole text that fits.
  const char* current = work->halves[0];
  int target = 0;
  for (int token = 0; token < kTokenCount; ++token) {
    if (token >= 8 && !(named & (1 << (token - 8)))) continue;
    target ^= 1;
    BoundedWriter writer(work->halves[target], kExpansionHalfSize);
    size_t currentLength = strlen(current);
    ptrdiff_t at = FindTextIn(encoding, current, kTokens[token]);
    if (at < 0) {
      writer.AppendPart(current, currentLength);
    } else {
      size_t k = static_cast<size_t>(at);
      writer.AppendPart(current, k);
      writer.AppendPart(texts[token], strlen(texts[token]));
      writer.AppendPart(current + k + 2, currentLength - k - 2);
    }
    writer.CutAtCharBoundary(fit);
    current = work->halves[target];
  }
  return current;
}

void ConvertTemplateToUtf8(const char* format, char* out) {
  char converted[3 * kExpansionHalfSize + 1];
  const int length = AnsiToUtf8(format != nullptr ? format : "", converted, sizeof converted);
  const size_t fit = length > 0 ? FitUtf8(converted, kExpansionHalfSize - 1) : 0;
  memcpy(out, converted, fit);
  out[fit] = '\0';
}
