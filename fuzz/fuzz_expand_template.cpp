// Arbitrary templates and field texts into ExpandTemplate, in each modelled
// code page and in UTF-8: the result is exactly the reference expansion's,
// sections and every cut of a half included.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936), the texts in
// UTF-8 from 0x80; byte 1 where the title part starts in the song text (0xFF:
// no title part); then the song, position, length, bitrate, sample rate, list
// length and bar texts, the template, and the album, year, genre, track,
// playback state and elapsed time texts, each to a zero byte. Without a
// template text the template is null.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "composer/expand_template.h"
#include "platform/text_portable.h"
#include "reference.h"

namespace {

std::string TakeText(ref::Input* input, bool utf8, char* out, size_t size) {
  std::string text;
  input->Text(&text);
  text = text.substr(0, size - 1);
  if (utf8) text = ref::WholeUtf8(text);
  memcpy(out, text.c_str(), text.size() + 1);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const uint8_t mode = input.Byte();
  const unsigned codePage = ref::PickCodePage(mode);
  const bool utf8 = mode >= 0x80;
  SetModelCodePage(codePage);
  const uint8_t titleAt = input.Byte();

  TrackFields* fields = static_cast<TrackFields*>(calloc(1, sizeof(TrackFields)));
  fields->encoding = utf8 ? TextEncoding::kUtf8 : TextEncoding::kAnsi;
  std::string values[ref::kTokens];
  values[0] = TakeText(&input, utf8, fields->songText, kTitleSize);
  if (titleAt != 0xFF) {
    // A split leaves the title part on a character of its own.
    size_t at = titleAt < values[0].size() ? titleAt : values[0].size();
    while (utf8 && at < values[0].size() && (values[0][at] & 0xC0) == 0x80) ++at;
    fields->titlePart = fields->songText + at;
    values[1] = values[0].substr(at);
  }
  char* numbers[6] = {fields->positionText,   fields->lengthText,     fields->bitrateText,
                      fields->sampleRateText, fields->listLengthText, fields->progressText};
  for (int i = 0; i < 6; ++i)
    values[2 + i] = TakeText(&input, utf8, numbers[i], i < 5 ? kNumberTextSize : kProgressTextSize);
  std::string format;
  const bool hasFormat = input.Text(&format);
  if (utf8) format = ref::WholeUtf8(format);
  for (int i = 0; i < kTagCount; ++i) values[8 + i] = TakeText(&input, utf8, fields->tagTexts[i], kTagSize);
  values[12] = TakeText(&input, utf8, fields->stateText, kNumberTextSize);
  values[13] = TakeText(&input, utf8, fields->elapsedText, kNumberTextSize);

  ExpansionBuffer* work = static_cast<ExpansionBuffer*>(malloc(sizeof(ExpansionBuffer)));
  const char* result = ExpandTemplate(hasFormat ? format.c_str() : nullptr, *fields, work);
  ref::Check(result == work->halves[0] || result == work->halves[1]);
  ref::Check(strnlen(result, kExpansionHalfSize) < kExpansionHalfSize);
  ref::Check(result == ref::Expand(utf8 ? ref::kUtf8 : codePage, format, values));

  free(work);
  free(fields);
  return 0;
}
