// Number texts under a locale whose decimal separator is a comma (the German locale run).

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace halvrenn
