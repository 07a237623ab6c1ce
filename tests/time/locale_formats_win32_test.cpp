// The user's formats as Wine's locale data defines them. Each suite runs under its own LC_ALL.

#include <gtest/gtest.h>

#include <string>

#include "time/serial_date.h"

namespace halvrenn {
namespace {

std::string Render(double seconds) { return FormatGeneralDate(AddSeconds(seconds, EpochBase)); }

TEST(LocaleUs, MonthFirstWithTwelveHourClock) {  // M/d/yyyy and h:mm:ss tt
  EXPECT_EQ(FormatGeneralDate(EpochBase), "1/1/1970");
  EXPECT_EQ(Render(25569), "1/1/1970 7:06:09 AM");
  EXPECT_EQ(Render(2147483647), "1/19/2038 3:14:07 AM");
  EXPECT_EQ(Render(-2147483648.0), "12/13/1901 8:45:52 PM");
}

TEST(LocaleGerman, DayFirst) {  // d.M.yyyy and HH:mm:ss
  EXPECT_EQ(Render(25569), "1.1.1970 07:06:09");
  EXPECT_EQ(Render(2147483647), "19.1.2038 03:14:07");
}

// Greek marks the half of the day with non-ASCII letters ("π.μ." / "μ.μ.").
TEST(LocaleGreek, NonAsciiDayPeriodPassesThrough) {
  EXPECT_EQ(Render(25569), "1/1/1970 7:06:09 \xCF\x80.\xCE\xBC.");
  EXPECT_EQ(Render(25569 + 43200), "1/1/1970 7:06:09 \xCE\xBC.\xCE\xBC.");
  EXPECT_EQ(Render(2147483647), "19/1/2038 3:14:07 \xCF\x80.\xCE\xBC.");  // d/M/yyyy
}

}  // namespace
}  // namespace halvrenn
