#include "time/serial_date.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "reference.h"

namespace halvrenn {
namespace {

using testing::ExpectedDateText;
using testing::ReferenceCalendar;

void ExpectSameAsReference(std::int64_t count) {
  SCOPED_TRACE(count);
  const auto civil = SplitSerialDate(AddSeconds(static_cast<double>(count), EpochBase));
  ASSERT_TRUE(civil.has_value());
  const auto r = ReferenceCalendar(count);
  EXPECT_EQ(civil->year, r.year);
  EXPECT_EQ(civil->month, r.month);
  EXPECT_EQ(civil->day, r.day);
  EXPECT_EQ(civil->hour, r.hour);
  EXPECT_EQ(civil->minute, r.minute);
  EXPECT_EQ(civil->second, r.second);
  EXPECT_EQ(civil->weekday, r.weekday);
}

TEST(SerialDate, ThirtyTwoBitEdgesAndCalendarTurns) {
  const std::int64_t counts[] = {
      -2147483647 - 1,  // 1901-12-13 20:45:52
      -2147483647,
      -2208988800,  // 1900-01-01, below 32 bits yet still a valid count for AddSeconds
      -17631,       // 25569 - 43200
      -86401,          -86400,     -1,         0,          1, 25568, 25569, 86399, 86400,
      68169600,    // 1972-02-29
      951782400,   // 2000-02-29
      951868800,   // 2000-03-01
      978307199,   // 2000-12-31 23:59:59
      4107542400,  // 2100-03-01: 2100 is not a leap year
      2147480047,      2147480048, 2147483646, 2147483647,
  };
  for (const std::int64_t count : counts) ExpectSameAsReference(count);
}

TEST(SerialDate, SampledCountsAcrossThe32BitRange) {
  // A fixed linear congruential walk, so that a failure names the same counts again.
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 200000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    ExpectSameAsReference(static_cast<std::int32_t>(state >> 32));
  }
}

TEST(SerialDate, AddSecondsRoundsFractionsHalfToEven) {
  const struct {
    double count;
    std::int64_t second;
  } cases[] = {
      {0.5, 0},  {1.5, 2},   {2.5, 2},   {2.4999, 2},      {2.5001, 3},
      {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {30000.5, 30000}, {2147483646.5, 2147483646},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(SplitSerialDate(AddSeconds(c.count, EpochBase)),
              SplitSerialDate(AddSeconds(static_cast<double>(c.second), EpochBase)));
  }
}

TEST(SerialDate, ValuesWithoutADateAreInvalid) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::vector<double> values = {
      nan,
      infinity,
      -infinity,
      1e300,
      -1e300,
      2958466.0,                // 10000-01-01
      2958466.0 - 0.4 / 86400,  // rounds up into the year 10000
      -693593.0 - 1.0 / 86400,  // the last second of the year 0
  };
  for (const double value : values) {
    SCOPED_TRACE(value);
    EXPECT_FALSE(SplitSerialDate(value).has_value());
    EXPECT_EQ(FormatGeneralDate(value), "Invalid");
  }
  for (const double count : {nan, infinity, -infinity, 1e300, 1e18, -1e18}) {
    SCOPED_TRACE(count);
    EXPECT_EQ(FormatGeneralDate(AddSeconds(count, EpochBase)), "Invalid");
  }
}

TEST(SerialDate, SplitsTheFirstAndLastRenderableSeconds) {
  const auto first = SplitSerialDate(-693593.0);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->year, 1);
  EXPECT_EQ(first->month, 1);
  EXPECT_EQ(first->day, 1);
  const auto last = SplitSerialDate(2958466.0 - 1.0 / 86400);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->year, 9999);
  EXPECT_EQ(last->month, 12);
  EXPECT_EQ(last->day, 31);
  EXPECT_EQ(last->hour * 3600 + last->minute * 60 + last->second, 86399);
}

TEST(FormatGeneralDate, DateAloneAtMidnightAndWithTheTimeOtherwise) {
  const std::int64_t counts[] = {0,           1,          25569,     43200,     86399,
                                 86400,       -17631,     -86400,    951782400, 2147483647,
                                 -2147483648, 2147472000, 1000000000};
  for (const std::int64_t count : counts) {
    SCOPED_TRACE(count);
    EXPECT_EQ(FormatGeneralDate(AddSeconds(static_cast<double>(count), EpochBase)),
              ExpectedDateText(count));
  }
  EXPECT_EQ(FormatGeneralDate(EpochBase), ExpectedDateText(0));
}

}  // namespace
}  // namespace halvrenn
