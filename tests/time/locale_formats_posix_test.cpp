// The user's formats as glibc's locales define them. Each suite runs under its own LC_ALL.

#include <gtest/gtest.h>

#include <string>

#include "time/serial_date.h"

namespace halvrenn {
namespace {

std::string Render(double seconds) { return FormatGeneralDate(AddSeconds(seconds, EpochBase)); }

// C and POSIX offer only a two-digit year; ISO 8601 is shown instead.
TEST(LocaleC, ShowsIso8601) {
  EXPECT_EQ(FormatGeneralDate(EpochBase), "1970-01-01");
  EXPECT_EQ(Render(25569), "1970-01-01 07:06:09");
  EXPECT_EQ(Render(2147483647), "2038-01-19 03:14:07");
  EXPECT_EQ(Render(-2147483648.0), "1901-12-13 20:45:52");
}

TEST(LocaleUs, MonthFirstWithTwelveHourClock) {  // %m/%d/%Y and %r
  EXPECT_EQ(FormatGeneralDate(EpochBase), "01/01/1970");
  EXPECT_EQ(Render(25569), "01/01/1970 07:06:09 AM");
  EXPECT_EQ(Render(2147483647), "01/19/2038 03:14:07 AM");
  EXPECT_EQ(Render(-2147483648.0), "12/13/1901 08:45:52 PM");
}

TEST(LocaleGerman, DayFirst) {  // %d.%m.%Y and %T
  EXPECT_EQ(Render(25569), "01.01.1970 07:06:09");
  EXPECT_EQ(Render(2147483647), "19.01.2038 03:14:07");
}

// Greek marks the half of the day with non-ASCII letters (%r with "πμ" / "μμ").
TEST(LocaleGreek, NonAsciiDayPeriodPassesThrough) {
  EXPECT_EQ(Render(25569), "01/01/1970 07:06:09 \xCF\x80\xCE\xBC");
  EXPECT_EQ(Render(25569 + 43200), "01/01/1970 07:06:09 \xCE\xBC\xCE\xBC");
  EXPECT_EQ(Render(2147483647), "19/01/2038 03:14:07 \xCF\x80\xCE\xBC");
}

// Korean writes year, month, day, hour, minute and second marks in Hangul.
TEST(LocaleKorean, NonAsciiMarksPassThrough) {
  EXPECT_EQ(Render(25569),
            "1970\xEB\x85\x84 01\xEC\x9B\x94 01\xEC\x9D\xBC "
            "07\xEC\x8B\x9C 06\xEB\xB6\x84 09\xEC\xB4\x88");
}

// British English writes a two-digit year (%d/%m/%y), widened to four digits.
TEST(LocaleBritish, TwoDigitYearIsShownWithFour) {
  EXPECT_EQ(Render(-2147483648.0), "13/12/1901 20:45:52");
  EXPECT_EQ(Render(2147483647), "19/01/2038 03:14:07");
}

}  // namespace
}  // namespace halvrenn
