// What one tick of the real plug-in costs the player's UI thread, measured in
// the stand-in player with a ready stand-in messenger. Figures for a report,
// not pass/fail checks: machines are noisy. Run with
//   --gtest_also_run_disabled_tests --gtest_filter=*DISABLED_Measure*
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "lifecycle_harness.h"
#include "messenger_process.h"

namespace {

using harness::PluginHost;

// The player's clock stands at 0 (61 s into the track, cell 2 of the bar) or
// at 40000 (cell 4): switching between them changes the status every tick.
const int64_t kOtherCellClockMs = 40000;
const int kSamples = 31;

double SecondsNow() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Pumps this thread's messages until the plug-in's timer expires, and times
// the dispatch of that expiry: one tick, called as the timer calls it. A
// thread timer's expiry is a WM_TIMER without a window; it was the plug-in's
// when dispatching it made the player answer a tick's first query.
bool TimeNextTick(const PluginHost& host, double* seconds, DWORD timeoutMs = 5000) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_TIMER && message.hwnd == nullptr) {
        const size_t ticks = host.Ticks();
        const double start = SecondsNow();
        DispatchMessageW(&message);
        *seconds = SecondsNow() - start;
        if (host.Ticks() > ticks) return true;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

void Print(const char* what, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  printf("%s: median %.3f ms, min %.3f ms, max %.3f ms over %zu ticks\n", what, samples[samples.size() / 2] * 1000,
         samples.front() * 1000, samples.back() * 1000, samples.size());
}

TEST(Measure, DISABLED_MeasureTickCost) {
  harness::SettingsFileGuard settings;
  // The default settings, but a tick about every 10 ms.
  harness::WriteSettingsFile(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0));
  MessengerProcess messenger;
  std::string error;
  ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
  PluginHost host(harness::OneTrack("Some Artist - Some Song", 245, 61000));
  ASSERT_TRUE(host.Ok(&error)) << error;
  ASSERT_EQ(0, host.Start());
  auto records = [&] { return LinesStartingWith(messenger.Lines(), "record ").size(); };

  // The first tick finds the messenger: the full check, then the hand-over.
  double first = 0;
  ASSERT_TRUE(TimeNextTick(host, &first));
  ASSERT_EQ(1u, records()) << messenger.LogText();

  // (a) The status is unchanged: compose, compare, done.
  std::vector<double> unchanged;
  for (int i = 0; i < kSamples; ++i) {
    double seconds = 0;
    ASSERT_TRUE(TimeNextTick(host, &seconds));
    unchanged.push_back(seconds);
  }
  EXPECT_EQ(1u, records()) << "an unchanged status was offered again";

  // (b) The status changed every tick: the hand-over on the quick path.
  std::vector<double> changed;
  for (int i = 0; i < kSamples; ++i) {
    host.Player().Clock().Set(i % 2 == 0 ? kOtherCellClockMs : 0);
    const size_t before = records();
    double seconds = 0;
    ASSERT_TRUE(TimeNextTick(host, &seconds));
    ASSERT_EQ(before + 1, records()) << messenger.LogText();
    changed.push_back(seconds);
  }

  host.Stop();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
  printf("first tick (finds the messenger, hands over): %.3f ms\n", first * 1000);
  Print("tick, status unchanged", unchanged);
  Print("tick, status changed (ready messenger, quick path)", changed);
}

}  // namespace
