// A Save or a stop while the messenger handles a command.
//
// Here the stand-in messenger, while it handles the apply command (or the
// closing one), sends a message to a window on the player's thread, whose
// procedure then saves the open settings dialog or stops the plug-in, and
// the messenger goes on only once that is done. The hand-over thread is then
// still inside the command: the link's closing command must reach the
// messenger after the record, not before, and a stop has the last word.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "lifecycle_harness.h"
#include "messenger_process.h"
#include "resources/resource_ids.h"

namespace {

using harness::DialogDriver;
using harness::PluginHost;

const char kTitle[] = "Some Artist - Some Song";
// The player's clock stands at 0 (61 s into the track, cell 2 of the bar);
// moving it to 40000 puts the marker in cell 4, a changed status.
const char kCell2[] = "Some Artist - Some Song (4:05) [--|-------]";
const char kCell4[] = "Some Artist - Some Song (4:05) [----|-----]";
const int64_t kCell4ClockMs = 40000;

// What the next call-back from the messenger does, once; later call-backs do
// nothing, so a later hand-over cannot repeat the action.
std::function<void()> g_onCallback;
int g_callbacks = 0;

LRESULT CALLBACK CallbackProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
  ++g_callbacks;
  std::function<void()> action;
  action.swap(g_onCallback);
  if (action) action();
  return 0;
}

// The window the messenger calls back: message-only, on this (the player's) thread.
class CallbackWindow {
 public:
  CallbackWindow() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = CallbackProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TavrinReentryCallback";
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
  }
  ~CallbackWindow() {
    if (window != nullptr) DestroyWindow(window);
  }
  HWND Get() const { return window; }
  // The line the messenger logs once this window has handled its call-back.
  std::string NotifiedLine() const {
    std::ostringstream line;
    line << "notified " << std::hex << reinterpret_cast<UINT_PTR>(window);
    return line.str();
  }

 private:
  CallbackWindow(const CallbackWindow&) = delete;
  CallbackWindow& operator=(const CallbackWindow&) = delete;
  HWND window = nullptr;
};

// The plug-in ticking about every 10 ms in the stand-in player on this thread,
// the messenger calling back into it on every hand-over, and the first
// hand-over (cell 2) done with nothing armed.
class Reentry : public ::testing::Test {
 protected:
  void SetUp() override {
    g_onCallback = nullptr;
    g_callbacks = 0;
    ASSERT_NE(nullptr, callback.Get());
    harness::WriteSettingsFile(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0));
    MessengerOptions options;
    options.notifyWindow = callback.Get();
    options.notifyOnClosing = notifyOnClosing;
    std::string error;
    ASSERT_TRUE(messenger.Start(options, 10000, &error)) << error;
    host.reset(new PluginHost(harness::OneTrack(kTitle, 245, 61000)));
    ASSERT_TRUE(host->Ok(&error)) << error;
    ASSERT_EQ(0, host->Start());
    const int first = messenger.WaitForLine("record ");
    ASSERT_GE(first, 0) << messenger.LogText();
    ASSERT_EQ(RecordLine(kCell2, 0, true), messenger.Lines()[first]);
    ASSERT_EQ(1, g_callbacks);
    armedAt = messenger.Lines().size();
  }

  void TearDown() override {
    g_onCallback = nullptr;
    if (host && !stoppedInside) host->Stop();
    host.reset();
    EXPECT_EQ(0, PluginHost::FaultsInPlugin());
  }

  // Commands, call-backs and records since the action was armed, in order.
  std::vector<std::string> EventsSinceArmed() const {
    std::vector<std::string> events;
    const std::vector<std::string> lines = messenger.Lines();
    for (size_t i = armedAt; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line.rfind("command ", 0) == 0 || line.rfind("notified", 0) == 0 || line.rfind("record ", 0) == 0)
        events.push_back(line);
    }
    return events;
  }

  size_t RecordsSinceArmed() const { return LinesStartingWith(EventsSinceArmed(), "record ").size(); }

  // Arms the next call-back to stop the plug-in and unload it, noting how many
  // queries the host had answered by then.
  void ArmStopAndUnload() {
    g_onCallback = [this] {
      stoppedInside = true;
      host->Stop();
      host->Player().UnloadPlugin();
      queriesAtUnload = host->Player().Queries().size();
    };
  }

  harness::SettingsFileGuard settings;
  CallbackWindow callback;
  MessengerProcess messenger;
  std::unique_ptr<PluginHost> host;
  size_t armedAt = 0;
  bool stoppedInside = false;  // the stop entry already ran; the host calls it once
  bool notifyOnClosing = false;  // the closing command calls back as well
  size_t queriesAtUnload = 0;
};

// The messenger calls back while it handles the old link's goodbye.
class ReentryAtGoodbye : public Reentry {
 protected:
  void SetUp() override {
    notifyOnClosing = true;
    Reentry::SetUp();
  }
  // After a stop and unload inside the goodbye (which Save and a second start
  // leave to the hand-over thread): the goodbye was all, and nothing ticks,
  // asks the host or publishes any more.
  void ExpectNothingAfterTheGoodbye() {
    ASSERT_TRUE(standin::PumpUntil([this] { return stoppedInside; }, 5000)) << messenger.LogText();
    harness::PumpForTimerPeriods(5, 20);
    EXPECT_EQ(queriesAtUnload, host->Player().Queries().size()) << host->Requests();
    EXPECT_EQ((std::vector<std::string>{"command 376", callback.NotifiedLine()}), EventsSinceArmed())
        << messenger.LogText();
  }
};

TEST_F(Reentry, SaveDuringTheHandOverClosesTheOldLinkAfterItsRecord) {
  // With the dialog open, arm the Save and change the status: the next tick
  // hands cell 4 over, and the messenger's call-back clicks Save right there.
  DialogDriver driver;
  int saves = 0;
  driver.Run(&host->Player(), {[&](HWND dialog) {
               g_onCallback = [&saves, dialog] {
                 ++saves;
                 harness::Click(dialog, IDC_SAVE);
               };
               host->Player().Clock().Set(kCell4ClockMs);
               return true;
             }},
             10000);
  ASSERT_TRUE(driver.DialogSeen());
  ASSERT_FALSE(driver.TimedOut()) << "Save was never clicked:\n" << messenger.LogText();
  EXPECT_EQ(1, saves);

  // The new link offers the status again on its first tick.
  ASSERT_TRUE(standin::PumpUntil([&] { return RecordsSinceArmed() >= 2; }, 5000)) << messenger.LogText();
  const std::string notified = callback.NotifiedLine();
  const std::string record = RecordLine(kCell4, 0, true);
  EXPECT_EQ((std::vector<std::string>{"command 391", notified, record,  // the hand-over the Save ran inside
                                      "command 376",                     // the old link, once the tick is done
                                      "command 391", notified, record}),  // the new link
            EventsSinceArmed())
      << messenger.LogText();
  EXPECT_EQ(3, g_callbacks);
}

TEST_F(Reentry, StopDuringTheHandOverClosesTheLinkAfterItsRecord) {
  g_onCallback = [this] {
    stoppedInside = true;
    host->Stop();
  };
  host->Player().Clock().Set(kCell4ClockMs);
  ASSERT_TRUE(standin::PumpUntil([&] { return RecordsSinceArmed() >= 1; }, 5000)) << messenger.LogText();
  // Let ticks come if the timer were still running: none may.
  harness::PumpForTimerPeriods(5, 20);
  EXPECT_EQ((std::vector<std::string>{"command 391", callback.NotifiedLine(), RecordLine(kCell4, 0, true),
                                      "command 376"}),
            EventsSinceArmed())
      << messenger.LogText();
  EXPECT_EQ(2, g_callbacks);
}

// A host whose query handler re-enters the plug-in: a Save that runs inside
// the tick's first query replaces the template, and the tick expands the new
// one (the one it would have read before asking is freed by then).
TEST_F(Reentry, SaveInsideATicksQueryExpandsTheNewTemplate) {
  DialogDriver driver;
  driver.Run(&host->Player(), {[&](HWND dialog) {
               harness::SetControlText(dialog, IDC_STATUS_FORMAT, "New $A");
               host->Player().SetQueryHook([this, dialog](intptr_t, intptr_t request) {
                 if (request != 125) return;
                 host->Player().SetQueryHook(nullptr);
                 harness::Click(dialog, IDC_SAVE);
               });
               return true;
             }},
             10000);
  ASSERT_TRUE(driver.DialogSeen());
  ASSERT_FALSE(driver.TimedOut()) << "Save was never clicked:\n" << messenger.LogText();
  ASSERT_TRUE(standin::PumpUntil([&] { return RecordsSinceArmed() >= 1; }, 5000)) << messenger.LogText();
  ASSERT_TRUE(host->WaitForTicks(5));
  EXPECT_EQ((std::vector<std::string>{"command 376", "command 391", callback.NotifiedLine(),
                                      RecordLine("New Some Artist", 0, true)}),
            EventsSinceArmed())
      << messenger.LogText();
}

// The host may also unload the plug-in right after stopping it, while the
// hand-over thread is still inside the messenger's command: the thread must
// finish in a module that is still there, and its link still says goodbye.
TEST_F(Reentry, StopAndUnloadDuringTheHandOverStillSaysGoodbye) {
  ArmStopAndUnload();
  host->Player().Clock().Set(kCell4ClockMs);
  ASSERT_TRUE(standin::PumpUntil([&] { return RecordsSinceArmed() >= 1; }, 5000)) << messenger.LogText();
  ASSERT_TRUE(standin::PumpUntil([&] { return EventsSinceArmed().size() >= 4; }, 5000)) << messenger.LogText();
  harness::PumpForTimerPeriods(5, 20);
  EXPECT_EQ((std::vector<std::string>{"command 391", callback.NotifiedLine(), RecordLine(kCell4, 0, true),
                                      "command 376"}),
            EventsSinceArmed())
      << messenger.LogText();
}

// A stop and unload inside one of the host's own answers, during a tick (its
// first query) or during a second start (its settings-folder query): the call
// that asked returns into a module that is still there and asks nothing
// more, nothing starts again, and the link still says goodbye.
class ReentryInsideAQuery : public Reentry, public ::testing::WithParamInterface<intptr_t> {};

TEST_P(ReentryInsideAQuery, StopAndUnloadEndEverything) {
  const intptr_t request = GetParam();
  host->Player().SetQueryHook([this, request](intptr_t, intptr_t asked) {
    if (asked != request) return;
    host->Player().SetQueryHook(nullptr);
    stoppedInside = true;
    host->Stop();
    host->Player().UnloadPlugin();
    queriesAtUnload = host->Player().Queries().size();
  });
  if (request == 335) host->Start();
  ASSERT_TRUE(standin::PumpUntil([this] { return stoppedInside; }, 5000));
  harness::PumpForTimerPeriods(5, 20);
  // The query it stopped in is logged once answered: last, and nothing after it.
  ASSERT_EQ(queriesAtUnload + 1, host->Player().Queries().size()) << host->Requests();
  EXPECT_EQ(request, host->Player().Queries().back().request);
  EXPECT_EQ(std::vector<std::string>{"command 376"}, EventsSinceArmed()) << messenger.LogText();
}

INSTANTIATE_TEST_SUITE_P(Reentry, ReentryInsideAQuery, ::testing::Values(125, 335),
                         [](const ::testing::TestParamInfo<intptr_t>& info) {
                           return info.param == 125 ? "DuringATick" : "DuringASecondStart";
                         });

// Save and a second start both retire the old link, whose goodbye the
// hand-over thread gives; a stop and unload inside it is the last word.
TEST_F(ReentryAtGoodbye, StopAndUnloadDuringSavesGoodbyeStartsNothing) {
  DialogDriver driver;
  driver.Run(&host->Player(), {[&](HWND dialog) {
               ArmStopAndUnload();
               harness::Click(dialog, IDC_SAVE);
               return true;
             }},
             10000);
  ASSERT_FALSE(driver.TimedOut()) << messenger.LogText();
  ExpectNothingAfterTheGoodbye();
}

TEST_F(ReentryAtGoodbye, StopAndUnloadDuringASecondStartsGoodbyeStartsNothing) {
  ArmStopAndUnload();
  host->Start();
  ExpectNothingAfterTheGoodbye();
}

}  // namespace
