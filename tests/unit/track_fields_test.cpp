// Track fields from the host's answers: the title split, the length and the
// progress bar, when fields refresh, and the bounds of every buffer.
#include "composer/track_fields.h"

#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "core_test_support.h"

namespace {

class TrackFieldsTest : public ::testing::Test {
 protected:
  TrackFieldsTest() : scope_(&host_) { memset(&guarded_.value, 0, sizeof guarded_.value); }
  void TearDown() override { EXPECT_TRUE(guarded_.CanariesIntact()); }

  void Refresh(bool wide = false, uint8_t tags = 0, uint8_t names = 0) {
    RefreshTrackFields(FakeQuery, wide, tags, names, &fields());
  }
  TrackFields& fields() { return guarded_.value; }
  std::string TitlePart() { return fields().titlePart != nullptr ? fields().titlePart : "(none)"; }

  FakeHost host_;
  FakeHostScope scope_;
  Guarded<TrackFields> guarded_;
};

struct SplitCase {
  const char* title;
  const char* artist;
  const char* titlePart;  // "(none)": no title part
};

TEST_F(TrackFieldsTest, SplitsTheTitleAtTheFirstSeparator) {
  const SplitCase cases[] = {
      {"Some Artist - Some Song", "Some Artist", "Some Song"},
      {"Artist   -   Song", "Artist", "Song"},
      {"Alpha-Beta - Gamma", "Alpha-Beta", "Gamma"},  // "- " before a lone "-"
      {" - Song", "", "Song"},
      {"   - Song", "", "Song"},
      {"Artist - ", "Artist", ""},
      {"A - B - C", "A", "B - C"},
      {"Artist-Song", "Artist", "Song"},
      {"-Song", "-Song", "-Song"},                      // a leading hyphen does not split
      {"- Song", "- Song", "- Song"},
      {"Instrumental", "Instrumental", "(none)"},
      {"Tab\t- Song", "Tab\t", "Song"},                 // only spaces are trimmed
      {"Prebuffering : 10%", "[Buffering...]", "(none)"},
      {"Radio [Buffer: 45%] - Live", "[Buffering...]", "(none)"},
      {"[Buffer:45%]", "[Buffer:45%]", "(none)"},        // the marker ends in a space
  };
  for (const SplitCase& c : cases) {
    host_.title = c.title;
    Refresh();
    EXPECT_STREQ(c.artist, fields().songText) << c.title;
    EXPECT_EQ(c.titlePart, TitlePart()) << c.title;
  }
}

struct LengthCase {
  int32_t seconds;
  const char* text;
};

TEST_F(TrackFieldsTest, FormatsTheLength) {
  const LengthCase cases[] = {
      {245, "4:05"},    {59, "0:59"},       {0, "0:00"},          {3599, "59:59"},
      {3600, "1:00:00"}, {3725, "1:02:05"}, {-1, ""},             {INT_MAX, "596523:14:07"},
      // Odd negative lengths follow printf's "%d:%02d" with truncating division.
      {-5, "0:-5"},      {-65, "-1:-5"},    {INT_MIN, "-14:-8"},
  };
  int title = 0;
  for (const LengthCase& c : cases) {
    std::string distinct = "title " + std::to_string(title++);  // each case is a title change
    host_.title = distinct.c_str();
    host_.lengthSeconds = c.seconds;
    Refresh();
    EXPECT_STREQ(c.text, fields().lengthText) << c.seconds;
  }
}

struct BarCase {
  int32_t lengthSeconds;
  int32_t positionMs;
  const char* bar;
  const char* elapsed;  // $E, from the same answer: none without a length or below 0
};

TEST_F(TrackFieldsTest, DrawsTheBarInsideItsTwelveCharactersAndTheElapsedTime) {
  const BarCase cases[] = {
      {245, 61000, "[--|-------]", "1:01"},
      {245, 0, "[|---------]", "0:00"},
      {7, 6999, "[--------|-]", "0:06"},      // whole seconds first: 6 s gives cell 8, 6.999 s would give 9
      {245, 245000, "[----------|", "4:05"},  // cell 10 takes the closing bracket
      {245, 269000, "[----------|", "4:29"},  // just under 1.1 times the length
      {245, 269500, "[----------|", "4:29"},
      {245, 300000, "[----------|", "5:00"},  // past cell 10: held at the end
      {245, -30000, "[|---------]", ""},      // cell -1: held at the start
      {1, INT_MAX, "[----------|", "596:31:23"},
      {1, INT_MIN, "[|---------]", ""},
      {INT_MAX, INT_MAX, "[|---------]", "596:31:23"},
      {0, 61000, "", ""},
      {-1, 61000, "", ""},
      {INT_MIN, 0, "", ""},
  };
  for (const BarCase& c : cases) {
    host_.lengthSeconds = c.lengthSeconds;
    host_.positionMs = c.positionMs;
    Refresh(false, kElapsedToken);
    EXPECT_STREQ(c.bar, fields().progressText) << c.lengthSeconds << " s at " << c.positionMs << " ms";
    EXPECT_STREQ(c.elapsed, fields().elapsedText) << c.lengthSeconds << " s at " << c.positionMs << " ms";
  }
}

TEST_F(TrackFieldsTest, RefreshesTheOtherFieldsOnlyOnATitleChange) {
  host_.playlistPosition = 0;
  Refresh();
  EXPECT_STREQ("1", fields().positionText);
  EXPECT_STREQ("192kbps", fields().bitrateText);
  EXPECT_STREQ("44kHz", fields().sampleRateText);
  EXPECT_STREQ("12", fields().listLengthText);

  // Same title at another position with another bitrate: only the bar moves.
  host_.playlistPosition = 5;
  host_.bitrate = 128;
  host_.positionMs = 0;
  Refresh();
  EXPECT_STREQ("1", fields().positionText);
  EXPECT_STREQ("192kbps", fields().bitrateText);
  EXPECT_STREQ("[|---------]", fields().progressText);
  EXPECT_EQ(1, host_.listLengthQueries);

  host_.title = "Other - Song";
  Refresh();
  EXPECT_STREQ("6", fields().positionText);
  EXPECT_STREQ("128kbps", fields().bitrateText);
  EXPECT_EQ(2, host_.listLengthQueries);
  EXPECT_EQ(0, host_.fileNameQueries);  // without a tag, a tick asks what it always asked
}

// With a tag in the template an entry is its title, its position and its
// file: another file of the same title (a new playlist) or the same file
// queued again refreshes every field, tags included. The file name is asked
// on every tick, the tags once per entry.
TEST_F(TrackFieldsTest, WithATagAnEntryIsItsTitlePositionAndFile) {
  const struct {
    int32_t position;
    const char* file;
    const char* album;
    const char* positionText;
    const char* bitrateText;
    int tagQueries;
  } cases[] = {{2, "C:\\a.mp3", "Opera", "3", "192kbps", 1}, {2, "C:\\b.mp3", "Hits", "3", "128kbps", 2},
               {6, "C:\\a.mp3", "Opera", "7", "128kbps", 2}};
  for (const auto& c : cases) {
    memset(&fields(), 0, sizeof fields());
    host_ = FakeHost();
    host_.album = "Opera";
    host_.fileName = "C:\\a.mp3";
    Refresh(false, kTagAlbum);
    host_.playlistPosition = c.position;
    host_.fileName = c.file;
    host_.album = c.album;
    host_.bitrate = 128;
    Refresh(false, kTagAlbum);
    EXPECT_STREQ(c.positionText, fields().positionText) << c.file << " at " << c.position;
    EXPECT_STREQ(c.bitrateText, fields().bitrateText) << c.file << " at " << c.position;
    EXPECT_STREQ(c.album, fields().tagTexts[0]) << c.file << " at " << c.position;
    EXPECT_EQ(c.tagQueries, host_.tagQueries) << c.file << " at " << c.position;
    EXPECT_EQ(2, host_.fileNameQueries);
  }
}

// A wide file name too long to keep beside an ANSI (short) one that fits, as
// the tags and a word list ask them: one entry, its tags asked once.
TEST_F(TrackFieldsTest, AFileNameTooLongToKeepIsNoNewEntry) {
  const std::u16string longName = u"C:\\" + std::u16string(kFileNameSize, u'x') + u".mp3";
  host_.wideTitle = u"A - B";
  host_.wideFileName = longName.c_str();
  for (int tick = 0; tick < 3; ++tick) Refresh(true, kTagAlbum, kNeedsAnsiFileName);
  EXPECT_EQ(1u, fields().entryCount);
  EXPECT_EQ(1, host_.tagQueries);
}

TEST_F(TrackFieldsTest, BufferingTitlesAreOneTitle) {
  host_.title = "Prebuffering : 10%";
  Refresh();
  host_.title = "[Buffer: 90%]";
  Refresh();
  EXPECT_EQ(1, host_.listLengthQueries);
  host_.title = "Some Artist - Some Song";  // buffering ended: a change
  Refresh();
  EXPECT_EQ(2, host_.listLengthQueries);
  EXPECT_STREQ("Some Song", fields().titlePart);
}

TEST_F(TrackFieldsTest, AMissingTitleReadsAsEmpty) {
  host_.title = nullptr;
  Refresh();  // equals the empty last title: nothing refreshes
  EXPECT_EQ(0, host_.listLengthQueries);
  EXPECT_STREQ("[--|-------]", fields().progressText);

  host_.title = "Artist - Song";
  Refresh();
  host_.title = nullptr;
  Refresh();
  EXPECT_EQ(2, host_.listLengthQueries);
  EXPECT_STREQ("", fields().songText);
  EXPECT_EQ(nullptr, fields().titlePart);
}

TEST_F(TrackFieldsTest, UsesTheLow32BitsOfNumericAnswers) {
  if (sizeof(intptr_t) < 8) GTEST_SKIP() << "no high bits on a 32-bit build";
  host_.numericHighBits = intptr_t{1} << 32;
  host_.playlistPosition = INT_MAX;
  Refresh();
  EXPECT_STREQ("2147483648", fields().positionText);  // position + 1 without overflow
  EXPECT_STREQ("4:05", fields().lengthText);
  EXPECT_STREQ("192kbps", fields().bitrateText);
  EXPECT_STREQ("[--|-------]", fields().progressText);
}

TEST_F(TrackFieldsTest, ExtremeAnswersStayInsideTheirTexts) {
  host_.playlistPosition = INT_MIN;
  host_.lengthSeconds = INT_MIN;
  host_.bitrate = INT_MIN;
  host_.sampleRate = INT_MIN;
  host_.listLength = INT_MIN;
  Refresh();
  EXPECT_STREQ("-2147483647", fields().positionText);
  EXPECT_STREQ("-2147483648kbps", fields().bitrateText);
  EXPECT_STREQ("-2147483648kHz", fields().sampleRateText);
  EXPECT_STREQ("-2147483648", fields().listLengthText);
  EXPECT_LT(strlen(fields().lengthText), size_t{kNumberTextSize});
}

TEST_F(TrackFieldsTest, ALongTitleIsCutAndComparedInItsCutForm) {
  std::string title(300, 'x');
  title[100] = '-';
  host_.title = title.c_str();
  Refresh();
  EXPECT_EQ(std::string(259, 'x').replace(100, 1, "-"), fields().lastTitle);
  EXPECT_EQ(std::string(100, 'x'), fields().songText);
  EXPECT_EQ(158u, strlen(fields().titlePart));

  title[280] = 'y';  // differs only beyond the cut: the same title
  Refresh();
  EXPECT_EQ(1, host_.listLengthQueries);
}

TEST_F(TrackFieldsTest, ALongTitleIsCutAtACharacterBoundary) {
  CodePageScope codePage(932);
  std::string title;
  while (title.size() < 300) title += "\x82\xA0";
  host_.title = title.c_str();
  Refresh();
  EXPECT_EQ(258u, strlen(fields().lastTitle));
  EXPECT_EQ(258u, strlen(fields().songText));
}

// With the UTF-8 option the title comes as wide text, split like any other;
// a host without it answers 1, and the ANSI title serves instead.
TEST_F(TrackFieldsTest, WideTitlesBecomeUtf8) {
  host_.wideTitle = u"星野ミナト - 夜明けの駅";
  Refresh(true);
  EXPECT_EQ(TextEncoding::kUtf8, fields().encoding);
  EXPECT_STREQ("星野ミナト", fields().songText);
  EXPECT_STREQ("夜明けの駅", fields().titlePart);
  EXPECT_EQ(0, host_.titleQueries);

  host_.wideTitle = u"[Buffer: 12%] Радио";
  Refresh(true);
  EXPECT_STREQ("[Buffering...]", fields().songText);
  host_.wideTitle = u"a\xD800" u"b\xDC00\xD83D\xDE00";  // unpaired surrogates, then one pair
  Refresh(true);
  EXPECT_STREQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xF0\x9F\x98\x80", fields().songText);

  host_.wideTitle = nullptr;
  host_.title = "Some Artist - Some Song";
  Refresh(true);
  EXPECT_EQ(TextEncoding::kAnsi, fields().encoding);
  EXPECT_STREQ("Some Artist", fields().songText);
  EXPECT_EQ(1, host_.titleQueries);
  EXPECT_EQ(4, host_.wideTitleQueries);

  // The same bytes in the other encoding still count as a new title.
  host_.wideTitle = u"Some Artist - Some Song";
  Refresh(true);
  EXPECT_EQ(TextEncoding::kUtf8, fields().encoding);
  EXPECT_EQ(5, host_.listLengthQueries);
}

// A long wide title is cut to 259 bytes between UTF-8 characters of every size.
TEST_F(TrackFieldsTest, ALongWideTitleIsCutBetweenCharacters) {
  const struct {
    std::u16string title;
    size_t expectedLength;
  } cases[] = {
      {std::u16string(300, u'x'), 259},
      {u"a" + std::u16string(200, u'\u00E9'), 259},         // 1 + 129 * 2
      {std::u16string(200, u'\u00E9'), 258},
      {u"ab" + std::u16string(200, u'\u661F'), 257},        // 2 + 85 * 3
      {u"a" + std::u16string(200, u'\u661F'), 259},
      {[] {
         std::u16string pairs;
         for (int i = 0; i < 100; ++i) pairs += u"\xD83D\xDE00";
         return u"abc" + pairs;
       }(),
       259},                                                  // 3 + 64 * 4
  };
  for (const auto& c : cases) {
    host_.wideTitle = c.title.c_str();
    Refresh(true);
    const std::string kept = fields().lastTitle;
    EXPECT_EQ(c.expectedLength, kept.size()) << Hex(kept.substr(0, 8));
    EXPECT_TRUE(IsWholeUtf8(kept)) << Hex(kept.substr(kept.size() - 8));
  }
}

}  // namespace
