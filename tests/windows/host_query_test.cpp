// Track fields and the composed status from real SendMessageA queries to a
// window that answers them as the host's main window does.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "composer/status_composer.h"
#include "host/host_query.h"
#include "host/plugin_descriptor.h"

namespace {

// What the host window answers; a request not here gets 0.
struct HostAnswers {
  LRESULT playlistPosition = 2;
  const char* title = "Some Artist - Some Song";
  LRESULT positionMs = 61000;
  LRESULT lengthSeconds = 245;
  LRESULT sampleRate = 44;
  LRESULT bitrate = 192;
  LRESULT listLength = 12;
  int queries = 0;
  WPARAM titleArgument = 0;
};

HostAnswers g_answers;

LRESULT Answer(WPARAM wParam, LPARAM request) {
  switch (request) {
    case 125: return g_answers.playlistPosition;
    case 212: g_answers.titleArgument = wParam; return reinterpret_cast<LRESULT>(g_answers.title);
    case 105: return wParam == 1 ? g_answers.lengthSeconds : g_answers.positionMs;
    case 126: return wParam == 1 ? g_answers.bitrate : g_answers.sampleRate;
    case 124: return g_answers.listLength;
    default: return 0;
  }
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_USER) return DefWindowProcA(window, message, wParam, lParam);
  ++g_answers.queries;
  return Answer(wParam, lParam);
}

class HostQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_answers = HostAnswers();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TavrinTestHost";
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, "TavrinTestHost", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window_);
    g_descriptor.hostWindow = window_;
    fields_ = TrackFields();
    composer_ = StatusComposer();
  }
  void TearDown() override {
    g_descriptor.hostWindow = nullptr;
    DestroyWindow(window_);
  }

  // One tick's composition, as the plug-in runs it.
  const char* Compose(const char* format) {
    RefreshTrackFields(QueryHost, false, 0, 0, &composer_.fields);
    RecomposeNextTick(&composer_);  // the template may differ from the last call's
    return ComposeStatus(format, nullptr, &composer_);
  }

  HWND window_ = nullptr;
  TrackFields fields_;
  StatusComposer composer_;
};

TEST_F(HostQueryTest, FieldsComeFromTheHostWindow) {
  RefreshTrackFields(QueryHost, false, 0, 0, &fields_);
  EXPECT_STREQ("Some Artist", fields_.songText);
  ASSERT_NE(nullptr, fields_.titlePart);
  EXPECT_STREQ("Some Song", fields_.titlePart);
  EXPECT_STREQ("3", fields_.positionText);
  EXPECT_STREQ("4:05", fields_.lengthText);
  EXPECT_STREQ("192kbps", fields_.bitrateText);
  EXPECT_STREQ("44kHz", fields_.sampleRateText);
  EXPECT_STREQ("12", fields_.listLengthText);
  EXPECT_STREQ("[--|-------]", fields_.progressText);
  EXPECT_EQ(2u, g_answers.titleArgument);  // the title of the current entry was asked for
  EXPECT_EQ(8, g_answers.queries);         // 125, 212, 105/1, 126/1, 126/0, 124, then 105/1, 105/0
}

TEST_F(HostQueryTest, ComposesTheStatusOncePerText) {
  const char* text = Compose("$A - $T ($D) $P");
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("Some Artist - Some Song (4:05) [--|-------]", text);
  EXPECT_EQ(nullptr, Compose("$A - $T ($D) $P"));
  g_answers.positionMs = 245000;
  text = Compose("$A - $T ($D) $P");
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("Some Artist - Some Song (4:05) [----------|", text);
}

TEST_F(HostQueryTest, NegativeAnswersKeepTheirSign) {
  g_answers.lengthSeconds = -1;  // no length known
  RefreshTrackFields(QueryHost, false, 0, 0, &fields_);
  EXPECT_STREQ("", fields_.lengthText);
  EXPECT_STREQ("", fields_.progressText);
}

// A title differing only in case, or in what the user's language rules fold
// or ignore ("ß" and "ss", a soft hyphen, "Æ" and "AE"), is another entry:
// its fields are refreshed and its text is offered.
TEST_F(HostQueryTest, TextsDifferingInAnyByteDiffer) {
  const struct {
    const char* first;
    const char* second;
    const char* secondArtist;
  } cases[] = {
      {"Some Artist - Some Song", "SOME ARTIST - SOME SONG", "SOME ARTIST"},
      {"Die Stra\xDF" "e - Song", "Die Strasse - Song", "Die Strasse"},
      {"A\xAD" "B - Song", "AB - Song", "AB"},
      {"\xC6" "ble - Song", "AEble - Song", "AEble"},
  };
  for (const auto& c : cases) {
    composer_ = StatusComposer();
    g_answers.title = c.first;
    g_answers.bitrate = 192;
    ASSERT_NE(nullptr, Compose("$A $B")) << c.second;
    g_answers.title = c.second;
    g_answers.bitrate = 128;
    const char* text = Compose("$A $B");
    ASSERT_NE(nullptr, text) << c.second;
    EXPECT_EQ(std::string(c.secondArtist) + " 128kbps", text);
    // The last text offered compares the same way.
    ASSERT_NE(nullptr, Compose(c.first)) << c.second;
    EXPECT_NE(nullptr, Compose(c.second)) << c.second;
  }
}

// Where the ANSI code page matters: bytes above 0x7F in a title, and a token
// right after a byte that is a lead byte in a double-byte code page.
TEST_F(HostQueryTest, FollowsTheAnsiCodePage) {
  UINT codePage = GetACP();
  g_answers.title = "Beyonc\xE9 - D\xE9j\xE0 Vu";
  const char* text = Compose("\x81$A|$T");
  ASSERT_NE(nullptr, text);
  if (codePage == 1252) {
    EXPECT_STREQ("\x81" "Beyonc\xE9|D\xE9j\xE0 Vu", text);
  } else if (IsDBCSLeadByte(0x81)) {
    EXPECT_EQ(0, strncmp("\x81$A|", text, 4)) << "code page " << codePage;  // "$" is a trail byte
  } else {
    GTEST_SKIP() << "no expectation for code page " << codePage;
  }
}

}  // namespace
