// The fixed-buffer writer that stands in for printf's integer formats.
#include "common/bounded_writer.h"

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

}  // namespace
