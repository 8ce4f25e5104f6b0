// The profile name inside the automation object's reply.
#include "messenger/profile_reply.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "core_test_support.h"

namespace {

struct ReplyCase {
  const char* what;
  std::string reply;
  bool found;
  std::string name;
};

class ProfileReplyTest : public ::testing::Test {
 protected:
  CodePageScope western{1252};
};

TEST_F(ProfileReplyTest, SecondFieldIsTheName) {
  const ReplyCase cases[] = {
      {"three fields", "a\x04someone\x04" "b", true, "someone"},
      {"nothing after the name", "a\x04someone\x04", true, "someone"},
      {"empty first field", "\x04someone\x04", true, "someone"},
      {"more fields", "a\x04someone\x04" "b\x04" "c", true, "someone"},
      {"only one separator", "a\x04someone", false, ""},
      {"no separator", "someone", false, ""},
      {"empty reply", "", false, ""},
      {"empty name", "a\x04\x04" "b", false, ""},
      {"backslash would address another key", "a\x04..\\other\x04", false, ""},
      {"name of 99 bytes fits 100", "a\x04" + std::string(99, 'n') + "\x04", true, std::string(99, 'n')},
      {"name of 100 bytes does not", "a\x04" + std::string(100, 'n') + "\x04", false, ""},
  };
  for (const ReplyCase& c : cases) {
    char name[100];
    memset(name, 'z', sizeof name);
    EXPECT_EQ(c.found, ParseProfileReply(c.reply.c_str(), name, sizeof name)) << c.what;
    EXPECT_EQ(c.name, std::string(name)) << c.what;
  }
}

TEST_F(ProfileReplyTest, NeverWritesPastTheNameBuffer) {
  char name[12];
  memset(name, 0xCC, sizeof name);
  EXPECT_FALSE(ParseProfileReply("a\x04someone\x04", name, 7));  // 7 bytes leave room for 6
  EXPECT_EQ('\0', name[0]);
  for (size_t i = 7; i < sizeof name; ++i) EXPECT_EQ('\xCC', name[i]) << "at " << i;
  EXPECT_TRUE(ParseProfileReply("a\x04someone\x04", name, 8));
  EXPECT_STREQ("someone", name);
  EXPECT_EQ('\xCC', name[8]);
  EXPECT_FALSE(ParseProfileReply("a\x04someone\x04", name, 0));
  EXPECT_FALSE(ParseProfileReply(nullptr, name, sizeof name));
}

// In a double-byte code page a trail byte equal to '\' or 0x04 is part of a
// character, not a backslash or a separator.
TEST_F(ProfileReplyTest, TrailBytesAreNotSeparatorsOrBackslashes) {
  CodePageScope doubleByte(932);
  char name[100];
  EXPECT_TRUE(ParseProfileReply("a\x04\x95\x5C\x04", name, sizeof name));
  EXPECT_STREQ("\x95\x5C", name);
  EXPECT_TRUE(ParseProfileReply("\x81\x04" "a\x04x\x81\x04y\x04", name, sizeof name));
  EXPECT_STREQ("x\x81\x04y", name);
}

}  // namespace
