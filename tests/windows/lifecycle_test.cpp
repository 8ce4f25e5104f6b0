// Start and stop of the real plug-in in the stand-in player: the timer the
// settings ask for, a disabled start, and the closing command at stop.
#include <gtest/gtest.h>

#include "lifecycle_harness.h"
#include "messenger_process.h"

namespace {

using harness::PluginHost;

const char kTitle[] = "Some Artist - Some Song";
const char kFormat[] = "$A - $T ($D) $P";

TEST(Lifecycle, NoSettingsFileStartsOneSecondTimer) {
  harness::SettingsFileGuard settings;
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  std::string error;
  ASSERT_TRUE(host.Ok(&error)) << error;

  const int64_t startedUs = host.Player().RealUs();
  EXPECT_EQ(0, host.Start());
  ASSERT_TRUE(host.WaitForTicks(3, 15000)) << "ticks seen: " << host.Ticks();
  host.Stop();

  // The defaults ask for 1 s. Only the lower bound tells 1 s from a shorter
  // period; a loaded machine may deliver ticks late, never early.
  std::vector<int64_t> ticks = host.TickTimesUs();
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_GE(ticks[0] - startedUs, 900000) << "first tick came too early";
  for (size_t i = 1; i < 3; ++i) {
    const int64_t periodUs = ticks[i] - ticks[i - 1];
    EXPECT_GE(periodUs, 900000) << "period " << i;
  }
  std::string bytes;
  EXPECT_FALSE(harness::ReadSettingsFile(&bytes)) << "start must not write the settings file";
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

TEST(Lifecycle, StopEndsTheTicks) {
  harness::SettingsFileGuard settings;
  harness::WriteSettingsFile(harness::SettingsBytes("$A", 1, 0, 1, 0, 0));  // interval 0: about 10 ms
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  std::string error;
  ASSERT_TRUE(host.Ok(&error)) << error;
  EXPECT_EQ(0, host.Start());
  ASSERT_TRUE(host.WaitForTicks(5, 3000));
  host.Stop();
  const size_t ticksAtStop = host.Ticks();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(ticksAtStop, host.Ticks());
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

// A disabled start runs no timer, but still creates the link, whose
// destructor at stop runs the full readiness check for the first time.
struct DisabledCase {
  const char* name;
  bool messengerRunning;
  bool signedOut;
  bool expectClosing;
  bool hotkeyService;  // else the host does not know it: nothing is registered
};

class DisabledStart : public ::testing::TestWithParam<DisabledCase> {};

TEST_P(DisabledStart, NoTicksAndClosingCommandOnlyToAReadyMessenger) {
  const DisabledCase& c = GetParam();
  harness::SettingsFileGuard settings;
  harness::WriteSettingsFile(harness::SettingsBytes("$A - $T", 0, 0, 1, 0, 0));
  MessengerProcess messenger;
  if (c.messengerRunning) {
    MessengerOptions options;
    options.signedOut = c.signedOut;
    std::string error;
    ASSERT_TRUE(messenger.Start(options, 10000, &error)) << error;
  }
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  std::string error;
  ASSERT_TRUE(host.Ok(&error)) << error;
  if (!c.hotkeyService) host.Player().SetAnswerOverride(65536, 0);

  EXPECT_EQ(0, host.Start());
  // An enabled plug-in with interval 0 would tick every 10 ms or so.
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(c.hotkeyService ? "335 65536 65573:Tavrin_StatusOnOff" : "335 65536", host.Requests())
      << "only start's questions (the host's settings folder, its hotkey service) and the key's registration";

  const DWORD stopStarted = GetTickCount();
  host.Stop();
  EXPECT_LT(GetTickCount() - stopStarted, 3000u) << "stop must return promptly";
  if (c.messengerRunning) {
    const std::vector<std::string> commands = LinesStartingWith(messenger.Lines(), "command ");
    if (c.expectClosing) {
      ASSERT_EQ(1u, commands.size()) << messenger.LogText();
      EXPECT_EQ("command 376", commands[0]);
    } else {
      EXPECT_TRUE(commands.empty()) << messenger.LogText();
    }
  }
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, DisabledStart,
                         ::testing::Values(DisabledCase{"ReadyMessenger", true, false, true, true},
                                           DisabledCase{"SignedOutMessenger", true, true, false, true},
                                           DisabledCase{"NoMessenger", false, false, false, false}),
                         [](const ::testing::TestParamInfo<DisabledCase>& info) { return info.param.name; });

// A host that starts the plug-in twice without a stop restarts it: the first
// timer must not tick on beside the second one (and on after stop and
// unload), and the first link says goodbye before the second one offers the
// status again.
TEST(Lifecycle, SecondStartWithoutStopRestarts) {
  harness::SettingsFileGuard settings;
  harness::WriteSettingsFile(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0));
  MessengerProcess messenger;
  std::string error;
  ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
  const std::string record = RecordLine("Some Artist - Some Song (4:05) [--|-------]", 0, true);
  {
    PluginHost host(harness::OneTrack(kTitle, 245, 61000));
    ASSERT_TRUE(host.Ok(&error)) << error;
    EXPECT_EQ(0, host.Start());
    const int first = messenger.WaitForLine("record ");
    ASSERT_GE(first, 0) << messenger.LogText();
    EXPECT_EQ(0, host.Start());
    ASSERT_GE(messenger.WaitForLine("record ", first + 1), 0) << messenger.LogText();
    host.Stop();
    const size_t ticksAtStop = host.Ticks();
    harness::PumpForTimerPeriods(5, 40);
    EXPECT_EQ(ticksAtStop, host.Ticks()) << "a timer outlived stop";
  }
  harness::PumpForTimerPeriods(5, 40);  // the plug-in is unloaded now
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 376", "command 391", "command 376"}),
            LinesStartingWith(messenger.Lines(), "command "))
      << messenger.LogText();
  EXPECT_EQ((std::vector<std::string>{record, record}), LinesStartingWith(messenger.Lines(), "record "));
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

// A host that never wrote the module instance: the plug-in cannot know its
// own file, and must not take the host program's .ini (what the path of a
// null module would give) for its settings.
TEST(Lifecycle, WithoutItsModuleInstanceTheHostsOwnIniIsNeverRead) {
  harness::SettingsFileGuard settings;
  const std::wstring program = standin::ProgramDirectory() + L"lifecycle_test.ini";
  FILE* file = _wfopen(program.c_str(), L"wb");
  ASSERT_NE(nullptr, file);
  const std::string hostsOwn = harness::SettingsBytes("Host's own $A", 1, 0, 1, 0, 0);
  fwrite(hostsOwn.data(), 1, hostsOwn.size(), file);
  fclose(file);
  MessengerProcess messenger;
  std::string error;
  ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  ASSERT_TRUE(host.Ok(&error)) << error;
  host.Player().Plugin()->moduleInstance = nullptr;
  EXPECT_EQ(0, host.Start());
  const int at = messenger.WaitForLine("record ");
  host.Stop();
  _wremove(program.c_str());
  ASSERT_GE(at, 0) << messenger.LogText();
  EXPECT_EQ(RecordLine("Some Artist - Some Song (4:05) [--|-------]", 0, true), messenger.Lines()[at]);
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

// The status on/off key, registered once per load with the host's hotkey
// service: a press does what a Save with "Enable status changing" flipped
// would (the file, the goodbye, the timer), a press after stop does nothing
// (stop destroyed the window and its class and left the dead window in the
// record: 0 would be the host's main window), and a second start makes the
// key work again. (A host without the service: DisabledStart's last row.) A
// template with a control character, from a file we did not write, is saved
// without it.
TEST(Lifecycle, TheStatusKeyTurnsPublishingOffAndOn) {
  harness::SettingsFileGuard settings;
  harness::WriteSettingsFile(harness::SettingsBytes(std::string("\x02") + kFormat, 1, 0, 1, 0, 0));
  MessengerProcess messenger;
  std::string error;
  ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  ASSERT_TRUE(host.Ok(&error)) << error;
  standin::StandInPlayer& player = host.Player();
  ASSERT_EQ(0, host.Start());
  ASSERT_GE(messenger.WaitForLine("record "), 0) << messenger.LogText();
  const standin::HotkeyAction* action = player.FindHotkeyAction("Tavrin_StatusOnOff");
  ASSERT_NE(nullptr, action);
  EXPECT_STREQ("Tavrin: status on/off", action->name);
  EXPECT_TRUE(action->flags == 0 && action->uMsg != 0 && action->wParam == 0 && action->lParam == 0);
  EXPECT_TRUE(IsWindow(action->wnd));
  WNDCLASSA windowClass;
  EXPECT_TRUE(GetClassInfoA(player.Plugin()->moduleInstance, "TavrinStatusHotkey", &windowClass));
  for (int word : action->extended) EXPECT_EQ(0, word);

  auto fileSays = [](int enabled) {
    std::string bytes;
    return harness::ReadSettingsFile(&bytes) && bytes == harness::SettingsBytes(kFormat, enabled, 0, 1, 0, 0);
  };
  ASSERT_TRUE(player.PressHotkey("Tavrin_StatusOnOff"));  // off: saved, the status goes, no more ticks
  EXPECT_TRUE(fileSays(0));
  ASSERT_GE(messenger.WaitForLine("command 376"), 0) << messenger.LogText();
  const size_t ticksWhenOff = host.Ticks();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(ticksWhenOff, host.Ticks());
  ASSERT_TRUE(player.PressHotkey("Tavrin_StatusOnOff"));  // on: saved, and the first tick publishes
  EXPECT_TRUE(fileSays(1));
  ASSERT_TRUE(standin::PumpUntil([&] { return LinesStartingWith(messenger.Lines(), "record ").size() >= 2; }, 5000))
      << messenger.LogText();

  host.Stop();
  EXPECT_FALSE(player.PressHotkey("Tavrin_StatusOnOff")) << "a press after stop reached a window";
  EXPECT_TRUE(action->wnd != nullptr && !IsWindow(action->wnd));
  EXPECT_FALSE(GetClassInfoA(player.Plugin()->moduleInstance, "TavrinStatusHotkey", &windowClass))
      << "the window's class outlived stop";
  ASSERT_EQ(0, host.Start());  // the same load: asked and registered once, the record gets the new window
  ASSERT_TRUE(host.WaitForTicks(2));  // a registration is posted: it would be in by now
  EXPECT_EQ(1u, player.CountQueries(65536));
  EXPECT_EQ(1u, player.CountQueries(standin::StandInPlayer::kHotkeyAddMessage));
  ASSERT_TRUE(player.PressHotkey("Tavrin_StatusOnOff"));
  EXPECT_TRUE(fileSays(0));
  host.Stop();
  // The first status, off's goodbye, on's status, stop's goodbye; after the
  // second start its status and off's goodbye, and stop has no link left.
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 376", "command 391", "command 376", "command 391",
                                      "command 376"}),
            LinesStartingWith(messenger.Lines(), "command "))
      << messenger.LogText();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

TEST(Lifecycle, StopRightAfterStartWithoutMessengerSendsNothing) {
  harness::SettingsFileGuard settings;
  PluginHost host(harness::OneTrack(kTitle, 245, 61000));
  std::string error;
  ASSERT_TRUE(host.Ok(&error)) << error;
  EXPECT_EQ(0, host.Start());
  host.Stop();
  EXPECT_EQ("335 65536", host.Requests());
  // Started and stopped again in the same process, as a host reloading it would.
  EXPECT_EQ(0, host.Start());
  host.Stop();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

}  // namespace
