// One tick's composition: what is offered, when, and how often.
#include "composer/status_composer.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

class StatusComposerTest : public ::testing::Test {
 protected:
  StatusComposerTest() : scope_(&host_) { memset(&guarded_.value, 0, sizeof guarded_.value); }
  void TearDown() override { EXPECT_TRUE(guarded_.CanariesIntact()); }

  // The offered text, or "(nothing)".
  std::string Tick(const char* format = "$A - $T ($D) $P", const char* mark = nullptr, bool wide = false) {
    // As a Save does when it changes the template.
    if (format == nullptr || format != lastFormat_) RecomposeNextTick(&guarded_.value);
    lastFormat_ = format != nullptr ? format : "";
    const char* text = ComposeTick(FakeQuery, format, &guarded_.value, wide, mark);
    if (text == nullptr) return "(nothing)";
    EXPECT_EQ(guarded_.value.lastTextOffered, text);
    return text;
  }

  FakeHost host_;
  FakeHostScope scope_;
  Guarded<StatusComposer> guarded_;
  std::string lastFormat_;
};

TEST_F(StatusComposerTest, OffersATextOnceUntilItChanges) {
  EXPECT_EQ("Some Artist - Some Song (4:05) [--|-------]", Tick());
  EXPECT_EQ("(nothing)", Tick());
  host_.positionMs = 62000;  // same cell
  EXPECT_EQ("(nothing)", Tick());
  host_.positionMs = 99000;
  EXPECT_EQ("Some Artist - Some Song (4:05) [----|-----]", Tick());
}

TEST_F(StatusComposerTest, OffersElevenTextsForATrackPlayedThrough) {
  int offered = 0;
  for (int32_t seconds = 0; seconds <= 245; ++seconds) {
    host_.positionMs = seconds * 1000;
    if (Tick() != "(nothing)") ++offered;
  }
  EXPECT_EQ(11, offered);
}

TEST_F(StatusComposerTest, OffersAFixedTextOnceUntilForgotten) {
  EXPECT_EQ("(nothing)", Tick(""));
  EXPECT_EQ("(nothing)", Tick(nullptr));
  EXPECT_EQ("Listening", Tick("Listening"));
  EXPECT_EQ("(nothing)", Tick("Listening"));
  ForgetLastTextOffered(&guarded_.value);
  EXPECT_EQ("Listening", Tick("Listening"));
}

TEST_F(StatusComposerTest, CutsAnOverlongTextAndDoesNotOfferItAgain) {
  std::string format(400, 'f');
  EXPECT_EQ(std::string(259, 'f'), Tick(format.c_str()));
  EXPECT_EQ("(nothing)", Tick(format.c_str()));
  format[300] = 'g';  // beyond the cut: the same text
  EXPECT_EQ("(nothing)", Tick(format.c_str()));
}

TEST_F(StatusComposerTest, CutsAtACharacterBoundary) {
  CodePageScope codePage(932);
  std::string format = "x";
  while (format.size() < 300) format += "\x82\xA0";
  EXPECT_EQ(format.substr(0, 259), Tick(format.c_str()));  // 'x' and 129 characters
  format = "xx" + format.substr(1);
  EXPECT_EQ(format.substr(0, 258), Tick(format.c_str()));
}

// A mark goes after the cut, so it always shows; dropping it is a change.
TEST_F(StatusComposerTest, MarksTheTextEvenWhenItIsCut) {
  EXPECT_EQ("Some Artist - Some Song (4:05) [--|-------] (paused)", Tick("$A - $T ($D) $P", " (paused)"));
  EXPECT_EQ("(nothing)", Tick("$A - $T ($D) $P", " (paused)"));
  EXPECT_EQ("Some Artist - Some Song (4:05) [--|-------]", Tick());
  std::string format(400, 'f');
  EXPECT_EQ(std::string(259 - 10, 'f') + " (stopped)", Tick(format.c_str(), " (stopped)"));
}

// A text composed in UTF-8 is cut between its characters, whatever the ANSI
// code page's boundaries would say about its bytes.
TEST_F(StatusComposerTest, CutsAUtf8TextBetweenCharacters) {
  CodePageScope codePage(932);
  const std::u16string stars(120, u'\u661F');  // three UTF-8 bytes each
  host_.wideTitle = stars.c_str();
  const struct {
    const char* format;  // UTF-8
    size_t expectedLength;
  } cases[] = {
      {"$A", 258},          // the title itself: 86 characters
      {"x$A$A", 1 + 258},   // the second "$A" stays and is cut off
      {"xx$A $A", 2 + 255}, // 85 characters
      {"\xD0\x96$A", 2 + 255},
  };
  for (const auto& c : cases) {
    ForgetLastTextOffered(&guarded_.value);
    const std::string text = Tick(c.format, nullptr, true);
    EXPECT_EQ(c.expectedLength, text.size()) << c.format;
    EXPECT_TRUE(IsWholeUtf8(text)) << Hex(text.substr(text.size() - 6));
  }
}

}  // namespace
