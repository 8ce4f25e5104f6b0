// The fixed-buffer writer that stands in for printf's integer formats.
#include "common/bounded_writer.h"
#include "common/host_text.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>

#include "core_test_support.h"

namespace {

// Every value and width gives exactly what printf's "%0*lld" gives.
TEST(BoundedWriter, DecimalsMatchPrintf) {
  // Around 2^32 and 10 * 2^32 too: the digits come from 32-bit divisions.
  const int64_t values[] = {0,          5,          -5,          9,           10,          -10,
                            59,         245,        -245,        INT32_MAX,   INT32_MIN,   4294967295,
                            4294967296, 9999999999, 42949672959, 42949672960, -99999999999, INT64_MAX,
                            INT64_MIN};
  const int widths[] = {1, 2, 3, 25};
  for (int64_t value : values) {
    for (int width : widths) {
      char expected[64];
      snprintf(expected, sizeof expected, "%0*lld", width, static_cast<long long>(value));
      char out[64];
      BoundedWriter writer(out, sizeof out);
      writer.AppendDecimal(value, width);
      EXPECT_STREQ(expected, out) << value << " width " << width;
      EXPECT_FALSE(writer.Failed());
    }
  }
}

// A piece that does not fit whole is refused, later pieces too, and the bytes
// around the buffer stay untouched.
TEST(BoundedWriter, RefusesWhatDoesNotFit) {
  Guarded<char[8]> out;
  BoundedWriter writer(out.value, sizeof out.value);
  writer.AppendText("1234567");  // seven bytes and the zero: exactly full
  EXPECT_FALSE(writer.Failed());
  writer.AppendText("8");
  EXPECT_TRUE(writer.Failed());
  writer.AppendDecimal(0);
  EXPECT_STREQ("1234567", out.value);
  EXPECT_EQ(7u, writer.Length());
  EXPECT_TRUE(out.CanariesIntact());

  Guarded<char[4]> small;
  BoundedWriter number(small.value, sizeof small.value);
  number.AppendDecimal(INT64_MIN);
  EXPECT_TRUE(number.Failed());
  EXPECT_STREQ("", small.value);
  EXPECT_TRUE(small.CanariesIntact());
}

// A host's text is copied whole with its zero or not at all (out then
// empty), never past out's size: each buffer ends where the canaries begin.
TEST(HostText, CopiesAWholeTextOrNone) {
  const struct {
    intptr_t answer;  // 0: the text's address
    const char* text;
    size_t size;
    bool copied;
  } cases[] = {{0, "C:\\Player", 16, true}, {0, "C:\\Player", 10, true}, {0, "C:\\Player", 9, false},
               {0, "C:\\Player", 8, false}, {0, "", 1, true}, {1, "", 16, false}, {0xFFFF, "", 16, false}};
  for (const auto& c : cases) {
    Guarded<char[16]> out;
    char* buffer = out.value + sizeof out.value - c.size;
    const intptr_t answer = c.answer != 0 ? c.answer : reinterpret_cast<intptr_t>(c.text);
    EXPECT_EQ(c.copied, CopyHostText(answer, buffer, c.size)) << c.text << " in " << c.size;
    EXPECT_STREQ(c.copied ? c.text : "", buffer) << c.text << " in " << c.size;
    EXPECT_TRUE(out.CanariesIntact()) << c.text << " in " << c.size;
  }
}

}  // namespace
