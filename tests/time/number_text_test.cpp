// Runs under a locale whose decimal separator is a point (C.UTF-8 natively, en-US under Wine);
// the decimal comma has its own suite in the German locale run.

#include "time/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "time/checked_int32.h"

namespace halvrenn {
namespace {

TEST(NumericText, AcceptsPlainNumbersAndReadsTheirValue) {
  const std::string tiny = "0." + std::string(400, '0') + "1";
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"0", 0.0},
      {"7", 7.0},
      {"2147483647", 2147483647.0},
      {"9999999999", 9999999999.0},
      {"0000000042", 42.0},
      {" 42", 42.0},
      {"42\t", 42.0},
      {" \t 42 \t", 42.0},
      {"+7", 7.0},
      {"-7", -7.0},
      {"1.5", 1.5},
      {".5", 0.5},
      {"-.25", -0.25},
      {"0.1", 0.1},
      {"25569.000", 25569.0},
      {"2147483647.4", 2147483647.4},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
      {tiny, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(IsNumericText(c.text));
    EXPECT_EQ(TextToDouble(c.text), c.value);
  }
}

TEST(NumericText, RejectsEverythingElse) {
  const std::string huge(400, '9');
  const char* const texts[] = {
      "",
      " ",
      "\t",
      "+",
      "-",
      ".",
      "1.",
      "+.",
      "1e5",
      "1E5",
      "1,000",
      "1 000",
      "$5",
      "5$",
      "0x1A",
      "12a",
      "a12",
      "--1",
      "+-1",
      "1-",
      "1.2.3",
      "inf",
      "nan",
      "\n1",
      "1\n",
      "1\r",
      "\xC2\xA0"
      "1",
      "\xEF\xBC\x91\xEF\xBC\x92",  // fullwidth digits
      "\xD9\xA3",                  // Arabic-Indic three
      "1\xC2\xB7"
      "5",  // a middle dot is not this locale's separator
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(IsNumericText(text));
    EXPECT_TRUE(std::isnan(TextToDouble(text)));
    EXPECT_THROW(TextToInt32(text), OverflowError);
  }
  EXPECT_FALSE(IsNumericText(huge));
  EXPECT_FALSE(
      IsNumericText(std::string("12\0"
                                "3",
                                4)));
}

TEST(NumericText, ToInt32RoundsHalfToEvenAndOverflowsOutside32Bits) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {" +2147483647 ", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"9999999999", std::nullopt},
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"0.5", 0},
      {"2.51", 3},
      {"2147483647.4", 2147483647},
      {"2147483647.5", std::nullopt},
      {"-0", 0},
      // The written value is rounded once, though its nearest double is the half itself.
      {"2.50000000000000001", 3},
      {"-2.50000000000000001", -3},
      {"3.49999999999999999", 3},
      {"2147483646.50000000001", 2147483647},
      {"2147483647.49999999999", 2147483647},
      {"-2147483648.49999999999", -2147483647 - 1},
      {"-2147483648.50000000001", std::nullopt},
      {"0000000000002147483647.0", 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(IsNumericText(c.text));
    if (c.value) {
      EXPECT_EQ(TextToInt32(c.text), *c.value);
    } else {
      EXPECT_THROW(TextToInt32(c.text), OverflowError);
    }
  }
}

TEST(GroupDigits, GroupsFromTheRightAsTheLocaleSays) {
  struct Case {
    std::uint64_t count;
    const char* separator;
    std::vector<int> groups;
    bool repeat_last;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, ",", {3}, true, "0"},
      {999, ",", {3}, true, "999"},
      {1000, ",", {3}, true, "1,000"},
      {1590825, ",", {3}, true, "1,590,825"},
      {18446744073709551615U, ".", {3}, true, "18.446.744.073.709.551.615"},
      {1234567, ",", {3, 2}, true, "12,34,567"},  // India
      {1234567, ",", {3}, false, "1234,567"},     // then no more groups
      {1234567,
       "\xE2\x80\xAF",
       {3},
       true,
       "1\xE2\x80\xAF"
       "234\xE2\x80\xAF"
       "567"},                              // U+202F
      {1234567, ",", {}, true, "1234567"},  // the C locale
      {1234567, ",", {0}, true, "1234567"},
      {100000, ",", {3}, true, "100,000"},  // no separator at the front
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GroupDigits(c.count, c.separator, c.groups, c.repeat_last), c.text) << c.count;
  }
}

}  // namespace
}  // namespace halvrenn
