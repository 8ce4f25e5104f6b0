// The stand-in player's own behaviour, where tests of the plug-in rely on it:
// how pause, resume and stop move its clock's playback state, and what its
// window answers for titles, the playback state, the settings folder, answer
// overrides and the query hook.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin_player.h"

namespace {

using standin::PlayMode;

TEST(StandinPlayerScript, PauseResumeAndStopMoveThePositionAsAPlayerWould) {
  standin::PlayerScript script;
  std::string error;
  ASSERT_TRUE(standin::ParsePlayerScript("entry 100 192 44 A - B\n"
                                         "entry 50 128 44 C - D\n"
                                         "at 1000 play 0 5000\n"
                                         "at 3000 pause\n"
                                         "at 4000 seek 20000\n"
                                         "at 6000 resume\n"
                                         "at 7000 stop\n"
                                         "at 8000 play 1\n"
                                         "at 9000 pause\n"
                                         "at 10000 stop\n"
                                         "at 11000 resume\n"
                                         "at 12000 end\n",
                                         &script, &error))
      << error;
  struct Case {
    int64_t clockMs;
    int32_t entry;
    PlayMode mode;
    int32_t positionMs;
    bool ended;
  };
  const Case cases[] = {
      {0, 0, PlayMode::Stopped, 0, false},       // before the first play
      {2000, 0, PlayMode::Playing, 6000, false},
      {3500, 0, PlayMode::Paused, 7000, false},  // frozen where it paused
      {5000, 0, PlayMode::Paused, 20000, false},  // a seek moves it, still paused
      {6500, 0, PlayMode::Playing, 20500, false},
      {7500, 0, PlayMode::Stopped, 0, false},
      {8500, 1, PlayMode::Playing, 500, false},  // a play after a stop starts again
      {9500, 1, PlayMode::Paused, 1000, false},
      {10500, 1, PlayMode::Stopped, 0, false},   // a stop while paused
      {11500, 1, PlayMode::Stopped, 0, false},   // nothing paused: resume does nothing
      {12500, 1, PlayMode::Stopped, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("at " + std::to_string(c.clockMs) + " ms");
    const standin::PlaybackState state = standin::StateAt(script, c.clockMs);
    EXPECT_EQ(c.entry, state.entry);
    EXPECT_EQ(static_cast<int>(c.mode), static_cast<int>(state.mode));
    EXPECT_EQ(c.positionMs, state.positionMs);
    EXPECT_EQ(c.ended, state.ended);
  }

  // The demo's own script must parse and run to its end.
  ASSERT_TRUE(standin::ParsePlayerScript(standin::BuiltInScriptText(), &script, &error)) << error;
  EXPECT_TRUE(standin::StateAt(script, script.events.back().atMs).ended);
}

// The player on this thread: SendMessage to its window calls its window
// procedure directly, as the plug-in's queries do on the host's thread.
class StandinPlayerQueries : public ::testing::Test {
 protected:
  void Create(const std::string& scriptText) {
    standin::PlayerScript script;
    std::string error;
    ASSERT_TRUE(standin::ParsePlayerScript(scriptText, &script, &error)) << error;
    ASSERT_TRUE(player.Create(script, &error)) << error;
  }
  intptr_t Query(intptr_t wParam, intptr_t request) {
    return SendMessageW(player.Window(), WM_USER, static_cast<WPARAM>(wParam), static_cast<LPARAM>(request));
  }
  std::string AnsiTitle(intptr_t position) {
    const char* text = reinterpret_cast<const char*>(Query(position, 212));
    return text == nullptr ? "(null)" : text;
  }
  std::wstring WideTitle(intptr_t position) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(Query(position, 213));
    return text == nullptr ? L"(null)" : text;
  }

  standin::StandInPlayer player;
};

TEST_F(StandinPlayerQueries, TitlesInTheAnsiCodePageAndInUtf16) {
  if (GetACP() != 1252) GTEST_SKIP() << "the expected ANSI bytes are code page 1252's; this is " << GetACP();
  ASSERT_NO_FATAL_FAILURE(Create("entry 60 192 44 Caf\xC3\xA9 \xE2\x80\x93 \xD0\x96\n"  // UTF-8
                                 "entry 60 192 44 Caf\xE9 \x96\n"                       // ANSI bytes
                                 "entry 60 192 44 Some Artist - Some Song\n"
                                 "at 0 play 0\n"
                                 "at 1000 title \xD0\x96 FM\n"));
  struct Case {
    int64_t clockMs;
    intptr_t position;
    std::string ansi;
    std::wstring wide;
  };
  const Case cases[] = {
      // What 1252 cannot hold becomes '?'.
      {0, 0, "Caf\xE9 \x96 ?", L"Caf\u00E9 \u2013 \u0416"},
      {0, 1, "Caf\xE9 \x96", L"Caf\u00E9 \u2013"},
      {0, 2, "Some Artist - Some Song", L"Some Artist - Some Song"},
      {1000, 0, "? FM", L"\u0416 FM"},  // the stream title, for the entry playing only
      {1000, 2, "Some Artist - Some Song", L"Some Artist - Some Song"},
      {0, 3, "(null)", L"(null)"},  // past the playlist
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("entry " + std::to_string(c.position) + " at " + std::to_string(c.clockMs) + " ms");
    player.Clock().Set(c.clockMs);
    EXPECT_EQ(c.ansi, AnsiTitle(c.position));
    EXPECT_EQ(c.wide, WideTitle(c.position));
  }
}

TEST_F(StandinPlayerQueries, PlaybackStateSettingsFolderAndOverrides) {
  ASSERT_NO_FATAL_FAILURE(Create("entry 100 192 44 A - B\n"
                                 "at 0 play 0\n"
                                 "at 2000 pause\n"
                                 "at 4000 resume\n"
                                 "at 6000 stop\n"));
  struct Case {
    int64_t clockMs;
    intptr_t wParam, request, result;
  };
  const Case cases[] = {
      {1000, 0, 104, 1}, {3000, 0, 104, 3}, {5000, 0, 104, 1}, {7000, 0, 104, 0},
      {3000, 0, 105, 2000},  // paused: the frozen position
      {5000, 0, 105, 3000}, {7000, 0, 105, 0},
      {1000, 0, 335, 0},  // no settings folder: as a host that does not know the request
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("request " + std::to_string(c.request) + " at " + std::to_string(c.clockMs) + " ms");
    player.Clock().Set(c.clockMs);
    EXPECT_EQ(c.result, Query(c.wParam, c.request));
  }

  player.SetSettingsDirectory("C:\\Program Files\\Player");
  const char* folder = reinterpret_cast<const char*>(Query(0, 335));
  ASSERT_NE(nullptr, folder);
  EXPECT_STREQ("C:\\Program Files\\Player", folder);

  // Overridden whatever the wParam; the others keep their real answers; logged as answered.
  player.SetAnswerOverride(213, 1);
  player.SetAnswerOverride(335, 0);
  player.ClearQueries();
  EXPECT_EQ(1, Query(0, 213));
  EXPECT_EQ(1, Query(7, 213));
  EXPECT_EQ(0, Query(0, 335));
  EXPECT_NE(0, Query(0, 212));
  ASSERT_EQ(4u, player.Queries().size());
  EXPECT_EQ(1, player.Queries()[1].result);
  EXPECT_EQ(7, player.Queries()[1].wParam);
  player.ClearAnswerOverrides();
  EXPECT_NE(1, Query(0, 213));
  EXPECT_STREQ("C:\\Program Files\\Player", reinterpret_cast<const char*>(Query(0, 335)));
}

TEST_F(StandinPlayerQueries, HookRunsBeforeTheAnswerAndNotInsideItself) {
  ASSERT_NO_FATAL_FAILURE(Create("entry 100 192 44 A - B\nentry 100 192 44 C - D\nat 0 play 1 5000\n"));
  std::vector<intptr_t> hooked;
  intptr_t insideAnswer = -1;
  player.SetQueryHook([&](intptr_t, intptr_t request) {
    hooked.push_back(request);
    // A query from inside the hook, as a plug-in re-entered from here makes.
    insideAnswer = SendMessageW(player.Window(), WM_USER, 0, 124);
  });
  EXPECT_EQ(1, Query(0, 125));
  EXPECT_EQ((std::vector<intptr_t>{125}), hooked);
  EXPECT_EQ(2, insideAnswer);
  ASSERT_EQ(2u, player.Queries().size());
  EXPECT_EQ(124, player.Queries()[0].request);  // answered inside the hook, first
  EXPECT_EQ(125, player.Queries()[1].request);

  // The next query is hooked again; none once the hook is cleared.
  EXPECT_EQ(5000, Query(0, 105));
  EXPECT_EQ((std::vector<intptr_t>{125, 105}), hooked);
  player.SetQueryHook(nullptr);
  EXPECT_EQ(2, Query(0, 124));
  EXPECT_EQ(2u, hooked.size());
}

}  // namespace
