// A small driver for callgrind: the composer's tick on an unchanged entry
// with the default template (the host asked, the bar drawn, the text
// composed and compared), run kTicks times after a first tick that learns the
// title. tools/report.sh counts the instructions inside TavrinUnchangedTick
// (--toggle-collect) and divides by kTicks.
#include <stdio.h>

#include "composer/status_composer.h"
#include "example_host.h"

constexpr int kTicks = 1000;

extern "C" __attribute__((noinline)) const char* TavrinUnchangedTick(StatusComposer* composer) {
  RefreshTrackFields(bench::ExampleHost, false, 0, 0, &composer->fields);
  return ComposeStatus(bench::kDefaultTemplate, nullptr, composer);
}

int main() {
  static StatusComposer composer;
  RefreshTrackFields(bench::ExampleHost, false, 0, 0, &composer.fields);
  if (ComposeStatus(bench::kDefaultTemplate, nullptr, &composer) == nullptr) return 1;
  int offered = 0;
  for (int i = 0; i < kTicks; ++i)
    if (TavrinUnchangedTick(&composer) != nullptr) ++offered;
  printf("ticks %d offered %d\n", kTicks, offered);
  return offered == 0 ? 0 : 1;
}
