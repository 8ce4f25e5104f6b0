// The plug-in's main job, end to end: what the stand-in player plays reaches
// the stand-in messenger as a custom status record.
#include <gtest/gtest.h>

#include <regex>

#include "lifecycle_harness.h"
#include "messenger_process.h"
#include "resources/resource_ids.h"

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
  // Sets the player's clock to each step's time in turn (after beforeStep):
  // the records (their texts, with no icon or headphones) and closing
  // commands ("376") listed for it come from the tick that sees it (unless
  // delayed), and a few ticks (counted by their first request) later, no more.
  void ExpectSteps(PluginHost& host, intptr_t firstRequest, const std::vector<int64_t>& clockMs,
                   const std::vector<std::vector<std::string>>& afterStep,
                   const std::function<void(size_t step)>& beforeStep = nullptr, bool delayed = false) {
    auto events = [this] {
      std::vector<std::string> seen;
      for (const std::string& line : messenger.Lines()) {
        if (line == "command 376") seen.push_back("376");
        if (line.rfind("record ", 0) == 0) seen.push_back(line);
      }
      return seen;
    };
    std::vector<std::string> expected;
    ASSERT_EQ(clockMs.size(), afterStep.size());
    for (size_t step = 0; step < clockMs.size(); ++step) {
      if (beforeStep) beforeStep(step);
      host.Player().Clock().Set(clockMs[step]);
      for (const std::string& event : afterStep[step])
        expected.push_back(event == "376" ? event : RecordLine(event, 0, false));
      // Not there by the next tick's first request: a tick late.
      int requests = 0;
      bool inTime = delayed;
      host.Player().SetQueryHook([&](intptr_t, intptr_t request) {
        if (request != firstRequest || ++requests < 2) return;
        host.Player().SetQueryHook(nullptr);
        for (DWORD start = GetTickCount(); !inTime && GetTickCount() - start < 5000; Sleep(1))
          inTime = events().size() >= expected.size();
      });
      standin::PumpUntil([&] { return events().size() >= expected.size(); }, 5000);
      const size_t ticks = host.Player().CountQueries(firstRequest) + 3;
      ASSERT_TRUE(standin::PumpUntil([&] { return host.Player().CountQueries(firstRequest) >= ticks; }, 5000));
      host.Player().SetQueryHook(nullptr);
      ASSERT_EQ(expected, events()) << "after step " << step << "\n" << messenger.LogText();
      EXPECT_TRUE(inTime) << "a tick late at step " << step;
    }
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

// A messenger busy 8 s with each apply command never holds up the player:
// its loop goes on (the longest stall well under 2 s), the three titles that
// come meanwhile give way to the newest, and a stop during the next busy
// command returns at once; the host unloads the DLL, and the goodbye still
// comes once the messenger answers. The messenger starts after the player
// offered the first status, which comes again without a change of the text.
TEST_F(EndToEnd, ABusyMessengerNeverHoldsUpThePlayer) {
  harness::WriteSettingsFile(harness::SettingsBytes("$A - $T", 1, 0, 0, 0, 0));
  MessengerOptions busy;
  busy.slowApplyMs = 8000;
  std::string error;
  standin::PlayerScript script;
  ASSERT_TRUE(standin::ParsePlayerScript("entry 245 192 44 One - A\nentry 245 192 44 Two - B\n"
                                         "entry 245 192 44 Three - C\nentry 245 192 44 Four - D\n"
                                         "at 0 play 0\nat 1000 play 1\nat 2000 play 2\nat 3000 play 3\n",
                                         &script, &error))
      << error;
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  host.Player().StartHeartbeat();
  ASSERT_EQ(0, host.Start());
  ASSERT_TRUE(host.WaitForTicks(3));
  ASSERT_TRUE(messenger.Start(busy, 10000, &error)) << error;
  const int first = messenger.WaitForLine("command 391");
  ASSERT_GE(first, 0) << messenger.LogText();
  for (int64_t ms : {1000, 2000, 3000}) {
    host.Player().Clock().Set(ms);
    ASSERT_TRUE(host.WaitForTicks(3));
  }
  ASSERT_GE(messenger.WaitForLine("command 391", first + 1, 15000), 0) << messenger.LogText();
  const DWORD stopping = GetTickCount();
  host.Stop();
  EXPECT_LT(GetTickCount() - stopping, 2000u);
  host.Player().UnloadPlugin();
  ASSERT_GE(messenger.WaitForLine("command 376", first, 15000), 0) << messenger.LogText();
  EXPECT_EQ((std::vector<std::string>{RecordLine("One - A", 0, false), RecordLine("Four - D", 0, false)}),
            LinesStartingWith(messenger.Lines(), "record "));
  const int64_t stallUs = host.Player().LongestHeartbeatGapUs();
  EXPECT_TRUE(stallUs > 0 && stallUs < 2000000) << stallUs;
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

// The tick tells the record where its " (paused)" mark starts: the mark ends
// the published text whole after a long title's conversion to UTF-8.
TEST_F(EndToEnd, TheMarkSurvivesALongTitle) {
  harness::WriteSettingsFile(harness::SettingsBytes("$A", 1, 2, 1, 0, 1) + '\x01');
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  std::string e;
  for (int i = 0; i < 150; ++i) e += "\xC3\xA9";
  standin::PlayerScript script;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript("entry 245 192 44 " + e + "\nat 0 play 0\nat 10000 pause\n", &script, &error));
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  ASSERT_EQ(0, host.Start());
  const int playing = NextRecord(messenger, 0);
  ASSERT_GE(playing, 0) << messenger.LogText();
  host.Player().Clock().Set(10000);
  const int paused = NextRecord(messenger, playing + 1);
  ASSERT_GE(paused, 0) << messenger.LogText();
  EXPECT_EQ(RecordLine(e.substr(0, (247 - 9) / 2 * 2) + " (paused)", 2, true), messenger.Lines()[paused]);
  host.Stop();
}

// What the ticks ask the host and what reaches the record: by default exactly
// the ANSI title's queries; with the UTF-8 option the wide title, whole in any
// script; and with a host that does not know the wide-title request (it
// answers 1, or any value below an address), the ANSI title after all,
// published as the UTF-8 option always did. With a template that names a tag,
// the entry's file name on every tick, and its tags on the first tick and
// after the entry changes (here to a stream, whose tags are never asked for):
// with the UTF-8 option as wide text first, then in ANSI for what that leaves
// empty, cut to its buffer even from a host that fills it without the zero.
// An entry of the same title is another entry when its file or its
// position differs: its tags and its position show together.
struct TitleCase {
  const char* name;
  int utf8;
  intptr_t wideTitleAnswer;  // 0: the host's real one
  bool hostFillsWideTags;
  bool needsWesternCodePage;
  const char* title;  // UTF-8, as the player's playlist holds it
  const char* format;
  const char* titleRequests;  // of each tick
  const char* songTags;       // the tag requests of the song's first tick
  const char* nextTags;       // and of the next entry's
  std::string recordText;
  // What plays next at 1000 ms (null: the stream): the playlist's second
  // entry, or the first of a new playlist; and the record it brings.
  const char* next = nullptr;
  bool newPlaylist = false;
  std::string nextRecord = "";
  std::string album = "Album";  // the song's
  bool hostFillsTagBuffersWhole = false;  // with a tag that long, without the zero
};

class EndToEndTitles : public EndToEnd, public ::testing::WithParamInterface<TitleCase> {};

// "212 213" asked for entry 1: "212/1 213/1".
std::string ForSecondEntry(std::string requests) {
  for (size_t at = requests.find(' '); at != std::string::npos; at = requests.find(' ', at + 3)) requests.insert(at, "/1");
  return requests + "/1";
}

TEST_P(EndToEndTitles, QueriesAndRecord) {
  const TitleCase& c = GetParam();
  if (c.needsWesternCodePage && GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
  harness::WriteSettingsFile(harness::SettingsBytes(c.format, 1, 0, 1, 0, c.utf8));
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  const std::string next = c.next != nullptr ? c.next
                                             : "entry -1 128 44 Kestrel FM\nfile http://radio.example/kestrel\n"
                                               "tag album Never Asked For\n";
  standin::PlayerScript script, newPlaylist;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript(std::string("entry 245 192 44 ") + c.title + "\ntag album " + c.album + "\n" +
                                             (c.newPlaylist ? "at 0 play 0\n" : next + "at 0 play 0\nat 1000 play 1\n"),
                                         &script, &error))
      << error;
  ASSERT_TRUE(standin::ParsePlayerScript(next + "at 0 play 0\n", &newPlaylist, &error)) << error;
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  if (c.wideTitleAnswer != 0) host.Player().SetAnswerOverride(213, c.wideTitleAnswer);
  if (!c.hostFillsWideTags) host.Player().SetAnswerOverride(3026, 1);
  host.Player().SetFillsTagBuffersWhole(c.hostFillsTagBuffersWhole);
  ASSERT_EQ(0, host.Start());
  const int at = NextRecord(messenger, 0);
  ASSERT_GE(at, 0) << messenger.LogText();
  EXPECT_EQ(RecordLine(c.recordText, 0, true), messenger.Lines()[at]);
  ASSERT_TRUE(host.WaitForTicks(2));
  if (c.newPlaylist) host.Player().SetScript(newPlaylist);
  host.Player().Clock().Set(1000);
  if (!c.nextRecord.empty()) {
    const int nextAt = NextRecord(messenger, at + 1);
    ASSERT_GE(nextAt, 0) << messenger.LogText();
    EXPECT_EQ(RecordLine(c.nextRecord, 0, true), messenger.Lines()[nextAt]);
  }
  ASSERT_TRUE(host.WaitForTicks(2));
  host.Stop();
  // Unchanged ticks in between; a stream has no length, so no position is asked for its bar.
  const std::string song = std::string("125 ") + c.titleRequests;
  const std::string then = "125 " + (c.newPlaylist ? c.titleRequests : ForSecondEntry(c.titleRequests));
  const std::string bar = c.next != nullptr ? " 105/1 105" : " 105/1";
  const std::string expected = "335 65536 65573:Tavrin_StatusOnOff " + song + " 105/1 126/1 126 124" + c.songTags +
                               " 105/1 105( " + song + " 105/1 105)+ " + then + " 105/1 126/1 126 124" + c.nextTags +
                               bar + "( " + then + bar + ")+";
  EXPECT_TRUE(std::regex_match(host.Requests(), std::regex(expected))) << host.Requests() << "\nexpected " << expected;
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

const char kSection[] = "$A - $T$( from $R$)";
const char kNumbered[] = "$I. $A$( from $R$)";

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, EndToEndTitles,
    ::testing::Values(
        TitleCase{"Japanese", 1, 0, true, false, "星野ミナト - 夜明けの駅", "$A|$T", "213", "", "",
                  "星野ミナト|夜明けの駅"},
        TitleCase{"Cyrillic", 1, 0, true, false, "Ирина Светлова - Тёплый ветер", "$A|$T", "213", "", "",
                  "Ирина Светлова|Тёплый ветер"},
        TitleCase{"HostWithoutWideTitles", 1, 1, true, true, "Beyoncé - Déjà Vu", "$A|$T", "213 212", "", "",
                  "Beyoncé|Déjà Vu"},
        TitleCase{"HostAnsweringASmallNumber", 1, 0xFFFF, true, true, "Beyoncé - Déjà Vu", "$A|$T", "213 212", "",
                  "", "Beyoncé|Déjà Vu"},
        TitleCase{"OptionOff", 0, 0, true, true, "Beyoncé - Déjà Vu", "$A|$T", "212", "", "",
                  "Beyonc\xE9|D\xE9j\xE0 Vu"},
        TitleCase{"DefaultTemplate", 0, 0, true, false, "A - B", "$A - $T ($D) $P", "212", "", "",
                  "A - B (4:05) [|---------]"},
        TitleCase{"AnsiTags", 0, 0, true, false, "A - B", kSection, "212 211", " 290:album", "",
                  "A - B from Album"},
        TitleCase{"WideTags", 1, 0, true, false, "A - B", kSection, "213 214", " 3026:album", "",
                  "A - B from Album"},
        TitleCase{"WideTagsLeftEmpty", 1, 0, false, false, "A - B", kSection, "213 214",
                  " 3026:album 211 290:album", "", "A - B from Album"},
        TitleCase{"ANewPlaylistWithAnotherFileOfTheSameTitle", 0, 0, true, false, "A - B", kNumbered, "212 211",
                  " 290:album", " 290:album", "1. A from Album",
                  "entry 245 192 44 A - B\nfile C:\\Hits\\01.mp3\ntag album Greatest Hits\n", true,
                  "1. A from Greatest Hits"},
        TitleCase{"TheSameFileQueuedTwice", 1, 0, true, false, "A - B", kNumbered, "213 214", " 3026:album",
                  " 3026:album", "1. A from Album", "entry 245 192 44 A - B\nfile C:\\Music\\1.mp3\n", false,
                  "2. A from Album"},
        TitleCase{"ATagFillingItsBufferWhole", 1, 0, false, false, "A - B", kSection, "213 214",
                  " 3026:album 211 290:album", "", "A - B from " + std::string(127, 'x'), nullptr, false, "",
                  std::string(200, 'x'), true}),
    [](const ::testing::TestParamInfo<TitleCase>& info) { return info.param.name; });

// Paused and stopped, in each of the three modes: the status stays, is
// marked, or is cleared with one closing command and comes back on resume;
// and with $M in the template it says so in the user's own words. A host
// whose play state is neither paused (3) nor stopped (0) is playing.
struct PlaybackCase {
  const char* name;
  int whenNotPlaying;
  intptr_t stateAnswer;  // 0: the player's own
  // The records ("r" + text) and closing commands ("376") after each step.
  std::vector<std::vector<std::string>> afterStep;
  const char* format = "$A $P";
};

class EndToEndPlayback : public EndToEnd, public ::testing::WithParamInterface<PlaybackCase> {};

TEST_P(EndToEndPlayback, PauseStopAndResume) {
  const PlaybackCase& c = GetParam();
  std::string bytes = harness::SettingsBytes(c.format, 1, 0, 0, 0, 0);
  if (c.whenNotPlaying != 0) bytes += static_cast<char>(c.whenNotPlaying);
  harness::WriteSettingsFile(bytes);
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  standin::PlayerScript script;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript("entry 245 192 44 Some Artist - Some Song\n"
                                         "at 0 play 0 61000\n"
                                         "at 10000 pause\n"    // frozen at 71 s: still cell 2
                                         "at 20000 resume\n"
                                         "at 30000 stop\n"     // position 0: cell 0
                                         "at 40000 play 0 61000\n",
                                         &script, &error))
      << error;
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  if (c.stateAnswer != 0) host.Player().SetAnswerOverride(104, c.stateAnswer);
  ASSERT_EQ(0, host.Start());

  // A tick that only finds playback paused asks for nothing else; the state
  // is asked when the mode or the template needs it.
  const bool stateAsked = c.whenNotPlaying != 0 || strstr(c.format, "$M") != nullptr;
  ASSERT_NO_FATAL_FAILURE(ExpectSteps(host, stateAsked ? 104 : 125, {0, 10000, 20000, 30000, 40000}, c.afterStep));
  host.Stop();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

const char kCell2[] = "Some Artist [--|-------]";
const char kCell0[] = "Some Artist [|---------]";
const std::vector<std::vector<std::string>> kKeptSteps = {{kCell2}, {}, {}, {kCell0}, {kCell2}};

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, EndToEndPlayback,
    ::testing::Values(
        PlaybackCase{"Keep", 0, 0, kKeptSteps},
        PlaybackCase{"MarkWithStateTwo", 1, 2, kKeptSteps},
        PlaybackCase{"MarkWithStateMinusOne", 1, -1, kKeptSteps},
        PlaybackCase{"ClearWithStateSeven", 2, 7, kKeptSteps},
        PlaybackCase{"Mark",
                     1,
                     0,
                     {{kCell2},
                      {std::string(kCell2) + " (paused)"},
                      {kCell2},
                      {std::string(kCell0) + " (stopped)"},
                      {kCell2}}},
        PlaybackCase{"Clear", 2, 0, {{kCell2}, {"376"}, {kCell2}, {"376"}, {kCell2}}},
        PlaybackCase{"KeepWithTheStateInTheTemplate", 0, 0,
                     {{"Some Artist 1:01"}, {"Some Artist (paused) 1:11"}, {"Some Artist 1:11"},
                      {"Some Artist (stopped) 0:00"}, {"Some Artist 1:01"}}, "$A$( ($M)$) $E"}),
    [](const ::testing::TestParamInfo<PlaybackCase>& info) { return info.param.name; });

// What never gets published: a stream (not an audio CD's track), a video
// while it plays (not on an older player, which answers 1), a file in a
// folder the user named (also one a new playlist brings at the last entry's
// title and position, or a Save inside a tick's question names); the status
// goes once and the next entry that may show goes out at once. A new song
// only after it was current 1 s: the one skipped through never shows.
struct HideCase {
  const char* name;
  std::string tail;  // after the record: whenNotPlaying, the flags, the delay, the words and their zero
  const char* second;  // the second of three entries (One, Two, Three), played in turn a second apart
  intptr_t videoAnswer;  // 0: the player's own
  std::vector<std::vector<std::string>> steps;  // the texts or "376" that come as each entry plays
  intptr_t askedRequest;  // ... this many times, or on every tick (kEveryTick)
  size_t asks;
  std::string newPlaylist = "";  // the player's playlist and events from the second step on
  const char* wordsSavedInsideATick = nullptr;  // the settings dialog saves them inside the second step's first tick
};
constexpr size_t kEveryTick = ~size_t{0};

class EndToEndHidden : public EndToEnd, public ::testing::WithParamInterface<HideCase> {};

TEST_P(EndToEndHidden, ClearedOnceAndBack) {
  const HideCase& c = GetParam();
  harness::WriteSettingsFile(harness::SettingsBytes("$A", 1, 0, 0, 0, 0) + c.tail);
  ASSERT_NO_FATAL_FAILURE(StartMessenger());
  standin::PlayerScript script;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript(std::string("entry 100 192 44 One\n") + c.second +
                                             "entry 100 192 44 Three\nat 0 play 0\nat 1000 play 1\nat 2000 play 2\n",
                                         &script, &error))
      << error;
  PluginHost host(script);
  ASSERT_TRUE(host.Ok(&error)) << error;
  if (c.videoAnswer != 0) host.Player().SetAnswerOverride(501, c.videoAnswer);
  ASSERT_EQ(0, host.Start());
  auto secondStep = [&](size_t step) {
    standin::PlayerScript newPlaylist;
    if (step == 1 && !c.newPlaylist.empty() && standin::ParsePlayerScript(c.newPlaylist, &newPlaylist, &error))
      host.Player().SetScript(newPlaylist);
    if (step != 1 || c.wordsSavedInsideATick == nullptr) return;
    harness::DialogDriver driver;
    driver.Run(&host.Player(), {[&](HWND dialog) {
                 harness::SetControlText(dialog, IDC_HIDDEN_PATH_WORDS, c.wordsSavedInsideATick);
                 host.Player().Clock().Set(1000);
                 host.Player().SetQueryHook([&host, dialog](intptr_t, intptr_t request) {
                   if (request != 125) return;
                   host.Player().SetQueryHook(nullptr);
                   harness::Click(dialog, IDC_SAVE);
                 });
                 return true;
               }});
    EXPECT_FALSE(driver.TimedOut());
  };
  const bool delayed = c.tail.size() > 2 && c.tail[2] != '\0';
  ASSERT_NO_FATAL_FAILURE(ExpectSteps(host, 125, {0, 1000, 2000}, c.steps, secondStep, delayed));
  host.Stop();
  const size_t asked = host.Player().CountQueries(c.askedRequest);
  EXPECT_EQ(c.asks == kEveryTick ? host.Ticks() : c.asks, asked) << host.Requests();
  EXPECT_EQ(0, PluginHost::FaultsInPlugin());
}

const std::vector<std::vector<std::string>> kSecondHidden = {{"One"}, {"376"}, {"Three"}};

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, EndToEndHidden,
    ::testing::Values(
        HideCase{"Streams", std::string("\0\x01\0\0", 4), "entry -1 128 44 Two\nfile http://radio.example/two\n", 0,
                 kSecondHidden, 211, kEveryTick},
        HideCase{"AudioCdTracks", std::string("\0\x01\0\0", 4), "entry 100 192 44 Two\nfile cda://D,2\n", 0,
                 {{"One"}, {"Two"}, {"Three"}}, 211, kEveryTick},
        HideCase{"Videos", std::string("\0\x02\0\0", 4), "entry 100 192 44 Two\nvideo\n", 0, kSecondHidden, 501,
                 kEveryTick},
        HideCase{"VideosOnAnOlderPlayer", std::string("\0\x02\0\0", 4), "entry 100 192 44 Two\nvideo\n", 1,
                 {{"One"}, {"Two"}, {"Three"}}, 501, kEveryTick},
        HideCase{"PathWords", std::string("\0\0\0 Audiobooks; private\0", 24),
                 "entry 100 192 44 Two\nfile D:\\Private\\Two.mp3\n", 0, kSecondHidden, 211, kEveryTick},
        HideCase{"PathWordsInANewPlaylistOfTheSameTitleAndPosition", std::string("\0\0\0Audiobooks;Private\0", 23),
                 "entry 100 192 44 Two\n", 0, kSecondHidden, 211, kEveryTick,
                 "entry 100 192 44 One\nfile D:\\Audiobooks\\Book\\One.mp3\nentry 100 192 44 Three\n"
                 "at 0 play 0\nat 2000 play 1\n"},
        // A stream's address before its first title: the status before stays.
        HideCase{"AStreamsAddressBeforeItsFirstTitle", "", "entry 100 192 44 Two\n", 0, {{"One"}, {}, {"Kestrel FM"}},
                 211, 0, "entry 100 192 44 One\nentry -1 128 44 http://radio.example:8000/live\n"
                 "file http://radio.example:8000/live\nat 0 play 1\nat 2000 title Kestrel FM - Night Drive\n"},
        // The Save's goodbye, then the hidden entry's clear.
        HideCase{"PathWordsSavedInsideATick", "", "entry 100 192 44 Two\nfile D:\\Private\\Two.mp3\n", 0,
                 {{"One"}, {"376", "376"}, {"Three"}}, 501, 0, "", "Private"},
        // Each entry plays for a few ticks only: the one skipped never shows.
        HideCase{"ShownOnlyAfterASecond", std::string("\0\0\x01\0", 4), "entry 100 192 44 Two\n", 0,
                 {{"One"}, {}, {"Three"}}, 211, 0}),
    [](const ::testing::TestParamInfo<HideCase>& info) { return info.param.name; });

}  // namespace
