// The composer's cost per tick: a tick whose title is unchanged (the common
// case: the host is asked, the bar redrawn, the template expanded and
// compared), and one expansion of the default template.
#include <benchmark/benchmark.h>
#include <string.h>

#include "composer/expand_template.h"
#include "composer/status_composer.h"

namespace {

const char kDefaultTemplate[] = "$A - $T ($D) $P";
const char kTitle[] = "Some Artist - Some Song";

// The typical event: entry 3 of 12, 245 s long, at 61 s, 192 kbps, 44 kHz.
intptr_t ExampleHost(intptr_t wParam, intptr_t request) {
  switch (request) {
    case kRequestPlaylistPosition: return 2;
    case kRequestEntryTitle: return reinterpret_cast<intptr_t>(kTitle);
    case kRequestPlaybackTime: return wParam == 1 ? 245 : 61000;
    case kRequestStreamInfo: return wParam == 1 ? 192 : 44;
    case kRequestPlaylistLength: return 12;
    default: return 0;
  }
}

void BM_TickUnchangedTitle(benchmark::State& state) {
  static StatusComposer composer;
  RefreshTrackFields(ExampleHost, false, &composer.fields);  // the title is now known
  ComposeStatus(kDefaultTemplate, nullptr, &composer);
  for (auto _ : state) {
    RefreshTrackFields(ExampleHost, false, &composer.fields);
    const char* text = ComposeStatus(kDefaultTemplate, nullptr, &composer);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_TickUnchangedTitle);

void BM_ExpandDefaultTemplate(benchmark::State& state) {
  static StatusComposer composer;
  RefreshTrackFields(ExampleHost, false, &composer.fields);
  ExpansionBuffer work;
  for (auto _ : state) {
    const char* text = ExpandTemplate(kDefaultTemplate, composer.fields, &work);
    benchmark::DoNotOptimize(text);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ExpandDefaultTemplate);

}  // namespace
