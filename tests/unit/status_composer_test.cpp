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
  std::string Tick(const char* format = "$A - $T ($D) $P") {
    const char* text = ComposeTick(FakeQuery, format, &guarded_.value);
    if (text == nullptr) return "(nothing)";
    EXPECT_EQ(guarded_.value.lastTextOffered, text);
    return text;
  }

  FakeHost host_;
  FakeHostScope scope_;
  Guarded<StatusComposer> guarded_;
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

}  // namespace
