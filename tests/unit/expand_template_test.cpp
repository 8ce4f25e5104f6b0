// Template expansion: token order, first occurrence only, tokens inside
// inserted values, sections, character boundaries, and the bound of each half.
#include "composer/expand_template.h"

#include <gtest/gtest.h>

#include <string>

#include "core_test_support.h"

namespace {

// The fields of the typical event: 'Some Artist - Some Song', entry 3 of 12.
TrackFields ExampleFields() {
  TrackFields fields = {};
  strcpy(fields.songText, "Some Artist");
  strcpy(fields.songText + 14, "Some Song");
  fields.titlePart = fields.songText + 14;
  strcpy(fields.positionText, "3");
  strcpy(fields.lengthText, "4:05");
  strcpy(fields.bitrateText, "192kbps");
  strcpy(fields.sampleRateText, "44kHz");
  strcpy(fields.listLengthText, "12");
  strcpy(fields.progressText, "[--|-------]");
  strcpy(fields.tagTexts[3], "7");
  strcpy(fields.stateText, "paused");
  strcpy(fields.elapsedText, "1:01");
  return fields;
}

std::string Expand(const char* format, const TrackFields& fields) {
  ExpansionBuffer work;
  return ExpandTemplate(format, fields, &work);
}

struct ExpandCase {
  const char* format;
  const char* expected;
};

TEST(ExpandTemplate, ReplacesTheFirstOccurrenceOfEachToken) {
  const ExpandCase cases[] = {
      {"$A - $T ($D) $P", "Some Artist - Some Song (4:05) [--|-------]"},
      {"$I/$L $B $S", "3/12 192kbps 44kHz"},
      {"$A $A", "Some Artist $A"},
      {"$a $t $X $", "$a $t $X $"},
      {"$$A", "44kHzome Artist"},  // "$" + "Some Artist" forms "$S" for step 6
      {"$A\r\n$T", "Some Artist\r\nSome Song"},
      {"$A - $T$( ($M)$) $E/$D", "Some Artist - Some Song (paused) 1:01/4:05"},
      {"no placeholders", "no placeholders"},
      {"", ""},
  };
  TrackFields fields = ExampleFields();
  for (const ExpandCase& c : cases) EXPECT_EQ(c.expected, Expand(c.format, fields)) << c.format;
  EXPECT_EQ("", Expand(nullptr, fields));
}

// A section goes whole when a placeholder in it is empty; a tag's token is a
// placeholder only where the template names it.
TEST(ExpandTemplate, DropsSectionsWithAnEmptyPlaceholder) {
  const char kExample[] = "$A - $T$( from $R$)$( ($Y)$)";
  const struct {
    const char* album;
    const char* year;
    const char* format;
    const char* expected;
  } cases[] = {
      {"Album", "1999", kExample, "Some Artist - Some Song from Album (1999)"},
      {"", "1999", kExample, "Some Artist - Some Song (1999)"},
      {"", "", kExample, "Some Artist - Some Song"},
      {"", "", "$(no placeholders$)|$(", "no placeholders|$("},
      {"", "", "$) $( a $( $R $) b $)", "$)  b $)"},  // no nesting: the first "$)" closes
      {"Album", "", "$R $R$( $Y$)$($N$)", "Album $R7"},
      {"$Y", "1999", "$R $A $Y", "1999 Some Artist $Y"},  // the first "$Y" came with the album
      {"$G", "", "$R", "$G"},                           // "$G" is named nowhere: no placeholder
  };
  for (const auto& c : cases) {
    TrackFields fields = ExampleFields();
    strcpy(fields.tagTexts[0], c.album);
    strcpy(fields.tagTexts[1], c.year);
    EXPECT_EQ(c.expected, Expand(c.format, fields)) << c.format << " album '" << c.album << "'";
  }
}

TEST(ExpandTemplate, SearchesValuesInsertedByEarlierTokens) {
  TrackFields fields = ExampleFields();
  strcpy(fields.songText, "X");
  strcpy(fields.songText + 4, "Cost $B");
  fields.titlePart = fields.songText + 4;
  // After $T the text is 'Cost $B $B': the title's "$B" comes first.
  EXPECT_EQ("Cost 192kbps $B", Expand("$T $B", fields));

  // A value ending in "$" forms a token with the template's next byte.
  strcpy(fields.songText, "Price $");
  strcpy(fields.songText + 8, "Song");
  fields.titlePart = fields.songText + 8;
  EXPECT_EQ("Price Song x", Expand("$AT x", fields));

  // A value holding an earlier token stays as it is.
  strcpy(fields.bitrateText, "$A");
  EXPECT_EQ("Price $ $A", Expand("$A $B", fields));
}

TEST(ExpandTemplate, MatchesTokensOnlyAtCharacterStarts) {
  TrackFields fields = ExampleFields();
  EXPECT_EQ("\x81Some Artist", Expand("\x81$A", fields));
  CodePageScope codePage(932);
  EXPECT_EQ("\x81$A", Expand("\x81$A", fields));          // "$" is a trail byte
  EXPECT_EQ("\x81$Some Artist", Expand("\x81$$A", fields));
  // UTF-8 has its own boundaries: in 932 the bytes of "あ" would take the "$".
  fields.encoding = TextEncoding::kUtf8;
  EXPECT_EQ("\xE3\x81\x82Some Artist", Expand("\xE3\x81\x82$A", fields));
}

class ExpandTemplateBounds : public ::testing::Test {
 protected:
  ExpandTemplateBounds() { fields_ = ExampleFields(); }
  // Expands into a guarded buffer and checks the canaries.
  std::string ExpandGuarded(const std::string& format) {
    const char* result = ExpandTemplate(format.c_str(), fields_, &guarded_.value);
    EXPECT_TRUE(guarded_.CanariesIntact());
    EXPECT_TRUE(result == guarded_.value.halves[0] || result == guarded_.value.halves[1]);
    return result;
  }
  TrackFields fields_;
  Guarded<ExpansionBuffer> guarded_;
};

TEST_F(ExpandTemplateBounds, KeepsATextThatFillsAHalfExactly) {
  std::string format = std::string(1023 - 11, 'f') + "$A";
  EXPECT_EQ(std::string(1023 - 11, 'f') + "Some Artist", ExpandGuarded(format));
}

TEST_F(ExpandTemplateBounds, CutsAnOverlongTemplate) {
  EXPECT_EQ(std::string(1023, 'f'), ExpandGuarded(std::string(1500, 'f') + "$A"));
}

TEST_F(ExpandTemplateBounds, CutsAnOverlongExpansion) {
  std::string format = std::string(1000, 'f') + "$A tail";
  EXPECT_EQ(std::string(1000, 'f') + "Some Artist tail", ExpandGuarded(format).substr(0, 1016));
  EXPECT_EQ(1016u, ExpandGuarded(format).size());

  strcpy(fields_.songText, std::string(259, 's').c_str());
  std::string result = ExpandGuarded(format);
  EXPECT_EQ(1023u, result.size());
  EXPECT_EQ(std::string(1000, 'f') + std::string(23, 's'), result);
}

TEST_F(ExpandTemplateBounds, CutsUtf8BetweenCharacters) {
  CodePageScope codePage(932);
  fields_.encoding = TextEncoding::kUtf8;
  std::string stars;
  while (stars.size() < 60) stars += "\xE6\x98\x9F";
  strcpy(fields_.songText, stars.c_str());
  for (size_t lead = 1000; lead < 1003; ++lead) {
    const std::string result = ExpandGuarded(std::string(lead, 'f') + "$A");
    EXPECT_EQ(lead + (1023 - lead) / 3 * 3, result.size()) << lead;
    EXPECT_TRUE(IsWholeUtf8(result)) << lead;
  }
}

TEST_F(ExpandTemplateBounds, CutsAtACharacterBoundary) {
  CodePageScope codePage(932);
  // A double-byte character would occupy bytes 1022 and 1023.
  std::string kanji;
  while (kanji.size() < 40) kanji += "\x82\xA0";
  strcpy(fields_.songText, kanji.c_str());
  std::string result = ExpandGuarded(std::string(1000, 'f') + "$A");
  EXPECT_EQ(1022u, result.size());
  EXPECT_EQ(std::string(1000, 'f') + kanji.substr(0, 22), result);
}

}  // namespace
