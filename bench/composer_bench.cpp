// The composer's cost per tick: a tick whose title is unchanged (the common
// case: the host is asked, the bar redrawn, the template expanded and
// compared), and one expansion of the default template.
#include <benchmark/benchmark.h>
#include <string.h>

#include "composer/expand_template.h"
#include "composer/status_composer.h"
#include "example_host.h"

namespace {

using bench::ExampleHost;
using bench::kDefaultTemplate;

void BM_TickUnchangedTitle(benchmark::State& state) {
  static StatusComposer composer;
  RefreshTrackFields(ExampleHost, false, 0, 0, &composer.fields);  // the title is now known
  ComposeStatus(kDefaultTemplate, nullptr, &composer);
  for (auto _ : state) {
    RefreshTrackFields(ExampleHost, false, 0, 0, &composer.fields);
    const char* text = ComposeStatus(kDefaultTemplate, nullptr, &composer);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_TickUnchangedTitle);

void BM_ExpandDefaultTemplate(benchmark::State& state) {
  static StatusComposer composer;
  RefreshTrackFields(ExampleHost, false, 0, 0, &composer.fields);
  ExpansionBuffer work;
  for (auto _ : state) {
    const char* text = ExpandTemplate(kDefaultTemplate, composer.fields, &work);
    benchmark::DoNotOptimize(text);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ExpandDefaultTemplate);

}  // namespace
