// Arbitrary templates and field texts into ExpandTemplate. The result stays
// within 1023 bytes of half 0 and, whenever no step outgrew a half, equals a
// plain std::string model of the same eight steps.
//
// Input: consumed by FuzzedDataProvider: the code page model, the eight field
// texts (the title part as an offset into the song text, or none), then the
// template.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "composer/expand_template.h"
#include "platform/text.h"
#include "platform/text_portable.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

void FillText(FuzzedDataProvider* data, char* out, size_t size) {
  std::string text = data->ConsumeRandomLengthString(size - 1);
  strcpy(out, text.c_str());
}

// The eight steps on std::string, without any bound. Returns false when a
// step's text would not fit a half.
bool ModelExpansion(const std::string& format, const TrackFields& fields, std::string* result) {
  static const char* const kTokens[8] = {"$A", "$T", "$I", "$D", "$B", "$S", "$L", "$P"};
  const char* values[8] = {fields.songText,       fields.titlePart != nullptr ? fields.titlePart : "",
                           fields.positionText,   fields.lengthText,
                           fields.bitrateText,    fields.sampleRateText,
                           fields.listLengthText, fields.progressText};
  std::string text = format;
  if (text.size() >= kExpansionHalfSize) return false;
  for (int i = 0; i < 8; ++i) {
    ptrdiff_t at = FindText(text.c_str(), kTokens[i]);
    if (at >= 0) text.replace(static_cast<size_t>(at), 2, values[i]);
    if (text.size() >= kExpansionHalfSize) return false;
  }
  *result = text;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  SetModelCodePage(provider.ConsumeBool() ? 932 : 1252);

  TrackFields* fields = static_cast<TrackFields*>(calloc(1, sizeof(TrackFields)));
  FillText(&provider, fields->songText, kTitleSize);
  size_t split = provider.ConsumeIntegralInRange<size_t>(0, strlen(fields->songText) + 1);
  fields->titlePart = split > strlen(fields->songText) ? nullptr : fields->songText + split;
  FillText(&provider, fields->positionText, kNumberTextSize);
  FillText(&provider, fields->lengthText, kNumberTextSize);
  FillText(&provider, fields->bitrateText, kNumberTextSize);
  FillText(&provider, fields->sampleRateText, kNumberTextSize);
  FillText(&provider, fields->listLengthText, kNumberTextSize);
  FillText(&provider, fields->progressText, kProgressTextSize);
  std::string format = provider.ConsumeRemainingBytesAsString();
  format = format.c_str();

  ExpansionBuffer* work = static_cast<ExpansionBuffer*>(malloc(sizeof(ExpansionBuffer)));
  const char* result = ExpandTemplate(format.c_str(), *fields, work);
  Check(result == work->halves[0]);
  size_t length = strnlen(result, kExpansionHalfSize);
  Check(length < kExpansionHalfSize);
  Check(FitText(result, length) == length);  // ends on a character boundary

  std::string expected;
  if (ModelExpansion(format, *fields, &expected)) Check(expected == result);

  free(work);
  free(fields);
  return 0;
}
