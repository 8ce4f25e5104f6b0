// Arbitrary host answers into the tick: titles of any bytes and length (or
// none), wide titles of any UTF-16 units (or none), any numbers with any high
// bits, over several ticks, with or without a mark. Every field stays inside
// its buffer, the bar is 0 or 12 characters with its marker inside, the
// expansion stays within 1023 bytes and the last text offered within 259; a
// composition in UTF-8 stays well-formed UTF-8 through every cut, and a mark
// always ends the text offered.
//
// Input: consumed by FuzzedDataProvider: the code page model, the tick count,
// wide titles or not, the mark, the template, then each answer as the ticks
// ask for it.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "composer/expand_template.h"
#include "composer/status_composer.h"
#include "platform/text.h"
#include "platform/text_portable.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

FuzzedDataProvider* g_data = nullptr;
std::string g_title;
std::u16string g_wideTitle;

// The host: a title, no title (null), a wide title or none (1: a host that
// does not know the request), or a number whose low 32 bits count.
intptr_t FuzzQuery(intptr_t, intptr_t request) {
  if (request == kRequestEntryTitle) {
    if (g_data->ConsumeBool()) return 0;
    g_title = g_data->ConsumeRandomLengthString(700);
    return reinterpret_cast<intptr_t>(g_title.c_str());
  }
  if (request == kRequestEntryWideTitle) {
    if (g_data->ConsumeBool()) return 1;
    g_wideTitle.clear();
    for (size_t n = g_data->ConsumeIntegralInRange<size_t>(0, 400); n > 0; --n) {
      char16_t unit = g_data->ConsumeIntegralInRange<char16_t>(1, 0xFFFF);
      g_wideTitle += unit;
    }
    return reinterpret_cast<intptr_t>(g_wideTitle.c_str());
  }
  return g_data->ConsumeIntegral<intptr_t>();
}

// Well-formed UTF-8 to the end: a lone lead byte at the end is a broken
// character, not a whole one. Written apart from the cuts under test.
bool IsWholeUtf8(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    size_t size = *p < 0x80 ? 1 : *p >= 0xC2 && *p < 0xE0 ? 2 : *p >= 0xE0 && *p < 0xF0 ? 3 : *p >= 0xF0 && *p < 0xF5 ? 4 : 0;
    if (size == 0) return false;
    for (size_t k = 1; k < size; ++k)
      if ((p[k] & 0xC0) != 0x80) return false;
    p += size;
  }
  return true;
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
  bool wide = provider.ConsumeBool();
  const char* mark = provider.ConsumeBool() ? " (paused)" : nullptr;
  std::string format = provider.ConsumeRandomLengthString(600);
  // The template as the plug-in keeps it for UTF-8 ticks: converted from ANSI.
  std::string utf8Format(3 * format.size() + 1, '\0');
  if (AnsiToUtf8(format.c_str(), &utf8Format[0], utf8Format.size()) < 0) utf8Format[0] = '\0';

  StatusComposer* composer = static_cast<StatusComposer*>(calloc(1, sizeof(StatusComposer)));
  for (int i = 0; i < ticks; ++i) {
    RefreshTrackFields(FuzzQuery, wide, &composer->fields);
    const bool inUtf8 = composer->fields.encoding == TextEncoding::kUtf8;
    const char* tickFormat = inUtf8 ? utf8Format.c_str() : format.c_str();
    const char* offered = ComposeStatus(tickFormat, mark, composer);
    CheckFields(composer->fields);
    Check(EndsWithin(composer->lastTextOffered, kLastTextSize));
    Check(offered == nullptr || offered == composer->lastTextOffered);
    if (offered != nullptr && mark != nullptr) {
      size_t length = strlen(offered);
      Check(length >= strlen(mark) && strcmp(offered + length - strlen(mark), mark) == 0);
    }

    ExpansionBuffer* work = static_cast<ExpansionBuffer*>(malloc(sizeof(ExpansionBuffer)));
    const char* expanded = ExpandTemplate(tickFormat, composer->fields, work);
    Check(expanded == work->halves[0]);
    Check(EndsWithin(expanded, kExpansionHalfSize));
    if (inUtf8) {
      Check(IsWholeUtf8(composer->fields.lastTitle));
      Check(IsWholeUtf8(expanded));
      if (offered != nullptr) Check(IsWholeUtf8(offered));
    }
    free(work);
  }
  free(composer);
  g_data = nullptr;
  return 0;
}
