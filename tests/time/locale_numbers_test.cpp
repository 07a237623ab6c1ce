// Number texts under the locale runs: a decimal comma (German), and counts in each locale's digit
// grouping, as the system's own tables give it.

#include <gtest/gtest.h>

#include "time/locale_and_zone.h"
#include "time/number_text.h"

namespace halvrenn {
namespace {

TEST(LocaleGermanNumbers, DecimalCommaAndNoPoint) {
  EXPECT_TRUE(IsNumericText("25569,5"));
  EXPECT_EQ(TextToDouble("25569,5"), 25569.5);
  EXPECT_EQ(TextToInt32("25569,5"), 25570);
  EXPECT_EQ(TextToInt32("25570,5"), 25570);
  EXPECT_EQ(TextToDouble(" -0,25 "), -0.25);
  EXPECT_EQ(TextToDouble(",5"), 0.5);
  for (const char* text : {"25569.5", "1.000", "1,", ",", "1,2,3", "1.000,5"}) {
    EXPECT_FALSE(IsNumericText(text)) << text;
  }
}

TEST(LocaleGermanNumbers, CountsGroupedByPoints) {
  EXPECT_EQ(platform::GroupedCount(999), "999");
  EXPECT_EQ(platform::GroupedCount(1590825), "1.590.825");
}

TEST(LocaleUs, CountsGroupedByCommas) {
  EXPECT_EQ(platform::GroupedCount(1000), "1,000");
  EXPECT_EQ(platform::GroupedCount(1590825), "1,590,825");
}

}  // namespace
}  // namespace halvrenn
