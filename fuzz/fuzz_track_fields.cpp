// Arbitrary host answers into the tick: titles of any bytes and length (or
// none), any numbers with any high bits, over several ticks. Every field stays
// inside its buffer, the bar is 0 or 12 characters with its marker inside, the
// expansion stays within 1023 bytes and the last text offered within 259.
//
// Input: consumed by FuzzedDataProvider: the code page model, the tick count,
// the template, then each answer as the ticks ask for it.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "composer/expand_template.h"
#include "composer/status_composer.h"
#include "platform/text_portable.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

FuzzedDataProvider* g_data = nullptr;
std::string g_title;

// The host: a title, no title (null), or a number whose low 32 bits count.
intptr_t FuzzQuery(intptr_t, intptr_t request) {
  if (request == kRequestEntryTitle) {
    if (g_data->ConsumeBool()) return 0;
    g_title = g_data->ConsumeRandomLengthString(700);
    return reinterpret_cast<intptr_t>(g_title.c_str());
  }
  return g_data->ConsumeIntegral<intptr_t>();
}

bool EndsWithin(const char* text, size_t size) { return memchr(text, '\0', size) != nullptr; }

void CheckFields(const TrackFields& fields) {
  Check(EndsWithin(fields.songText, kTitleSize));
  Check(EndsWithin(fields.lastTitle, kTitleSize));
  if (fields.titlePart != nullptr) {
    Check(fields.titlePart >= fields.songText && fields.titlePart < fields.songText + kTitleSize);
  }
  for (const char* number : {fields.positionText, fields.lengthText, fields.bitrateText, fields.sampleRateText,
                             fields.listLengthText}) {
    Check(EndsWithin(number, kNumberTextSize));
  }
  size_t barLength = strnlen(fields.progressText, kProgressTextSize);
  Check(barLength == 0 || barLength == 12);
  if (barLength == 12) {
    Check(fields.progressText[0] == '[');
    int markers = 0;
    for (size_t i = 1; i < 12; ++i) markers += fields.progressText[i] == '|';
    Check(markers == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  g_data = &provider;
  SetModelCodePage(provider.ConsumeBool() ? 932 : 1252);
  int ticks = provider.ConsumeIntegralInRange(1, 6);
  std::string format = provider.ConsumeRandomLengthString(600);

  StatusComposer* composer = static_cast<StatusComposer*>(calloc(1, sizeof(StatusComposer)));
  for (int i = 0; i < ticks; ++i) {
    RefreshTrackFields(FuzzQuery, false, &composer->fields);
    const char* offered = ComposeStatus(format.c_str(), nullptr, composer);
    CheckFields(composer->fields);
    Check(EndsWithin(composer->lastTextOffered, kLastTextSize));
    Check(offered == nullptr || offered == composer->lastTextOffered);

    ExpansionBuffer* work = static_cast<ExpansionBuffer*>(malloc(sizeof(ExpansionBuffer)));
    const char* expanded = ExpandTemplate(format.c_str(), composer->fields, work);
    Check(expanded == work->halves[0]);
    Check(EndsWithin(expanded, kExpansionHalfSize));
    free(work);
  }
  free(composer);
  g_data = nullptr;
  return 0;
}
