// The plug-in's main job, end to end: what the stand-in player plays reaches
// the stand-in messenger as a custom status record.
#include <gtest/gtest.h>

#include "lifecycle_harness.h"
#include "messenger_process.h"

namespace {

using harness::PluginHost;

// Waits for the next record line at or after `from`; returns its index or -1.
int NextRecord(const MessengerProcess& messenger, size_t from) {
  return messenger.WaitForLine("record ", from, 5000);
}

class EndToEnd : public ::testing::Test {
 protected:
  void StartMessenger() {
    std::string error;
    ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
  }
  harness::SettingsFileGuard settings;
  MessengerProcess messenger;
};

TEST_F(EndToEnd, ChangedStatusReachesTheMessengerAndStopSaysGoodbye) {
  // Defaults but interval 0, so ticks come every 10 ms or so.
  harness::WriteSettingsFile(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0));
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  PluginHost host(harness::OneTrack("Some Artist - Some Song", 245, 61000));
  std::string error;
  ASSERT_TRUE(host.Ok(&error)) << error;
  ASSERT_EQ(0, host.Start());

  int first = NextRecord(messenger, 0);
  ASSERT_GE(first, 0) << messenger.LogText();
  std::vector<std::string> lines = messenger.Lines();
  EXPECT_EQ(RecordLine("Some Artist - Some Song (4:05) [--|-------]", 0, true), lines[first]);
  ASSERT_GE(first, 1);
  EXPECT_EQ("command 391", lines[first - 1]);

  // The same cell of the bar: ticks go on, nothing more is offered.
  ASSERT_TRUE(host.WaitForTicks(10));
  EXPECT_EQ(1u, LinesStartingWith(messenger.Lines(), "record ").size()) << messenger.LogText();

  // 40 s later the marker sits in cell 4, and that is offered once.
  host.Player().Clock().Set(40000);
  int second = NextRecord(messenger, first + 1);
  ASSERT_GE(second, 0) << messenger.LogText();
  EXPECT_EQ(RecordLine("Some Artist - Some Song (4:05) [----|-----]", 0, true), messenger.Lines()[second]);

  host.Stop();
  lines = messenger.Lines();
  ASSERT_FALSE(lines.empty());
  const std::vector<std::string> commands = LinesStartingWith(lines, "command ");
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 391", "command 376"}), commands) << messenger.LogText();
  std::vector<RegistryValue> values;
  ASSERT_TRUE(ReadProfileValues("someone", &values));
  for (const RegistryValue& value : values) EXPECT_EQ("4_DND", value.name) << "left behind: " << value.name;
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

TEST_F(EndToEnd, BufferingStreamAndTrackChanges) {
  harness::WriteSettingsFile(harness::SettingsBytes("$A|$T|$I/$L", 1, 2, 0, 0, 0));
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  standin::PlayerScript script;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript("entry -1 128 44 Kestrel FM - Night Drive\n"
                                         "entry 60 320 44 Instrumental\n"
                                         "at 0 play 0\n"
                                         "at 0 title [Buffer: 45%] Kestrel FM\n"
                                         "at 1000 title-clear\n"
                                         "at 2000 play 1\n",
                                         &script, &error))
      << error;
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  ASSERT_EQ(0, host.Start());

  struct Step {
    int64_t clockMs;
    const char* text;
  };
  const Step steps[] = {
      {0, "[Buffering...]||1/2"},
      {1000, "Kestrel FM|Night Drive|1/2"},
      {2000, "Instrumental||2/2"},
  };
  size_t from = 0;
  for (const Step& step : steps) {
    host.Player().Clock().Set(step.clockMs);
    const int at = NextRecord(messenger, from);
    ASSERT_GE(at, 0) << "at " << step.clockMs << " ms:\n" << messenger.LogText();
    EXPECT_EQ(RecordLine(step.text, 2, false), messenger.Lines()[at]) << "at " << step.clockMs << " ms";
    from = at + 1;
  }
  host.Stop();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

}  // namespace
