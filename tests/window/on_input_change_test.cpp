// Runs once per zone of the test runs (TZ set by CTest, its Bias in HALVRENN_EXPECTED_BIAS).

#include "window/on_input_change.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "fake_fields.h"
#include "reference.h"
#include "time/checked_int32.h"
#include "window/dispatch.h"

namespace halvrenn {
namespace {

using testing::ExpectedBiasMinutes;
using testing::ExpectedOutputsFor;
using testing::FakeFields;

constexpr const char* kInvalid = "Invalid";

void ExpectInvalidEverywhere(const std::string& input) {
  SCOPED_TRACE("input \"" + input + "\"");
  FakeFields fields;
  fields.text2 = fields.text3 = fields.text4 = "previous";
  fields.text1 = input;
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text2, kInvalid);
  EXPECT_EQ(fields.text3, kInvalid);
  EXPECT_EQ(fields.text4, kInvalid);
  EXPECT_EQ(fields.writes, (std::vector<int>{2, 3, 4}));
}

// Expected outputs come from the reference calendar and 64-bit arithmetic on the whole count;
// an output whose 32-bit arithmetic overflows reads "Invalid" after the dispatch.
void ExpectDates(const std::string& input, std::int64_t whole_count) {
  SCOPED_TRACE("input \"" + input + "\"");
  const auto expected = ExpectedOutputsFor(whole_count, ExpectedBiasMinutes());
  FakeFields fields;
  fields.text2 = fields.text3 = fields.text4 = "previous";
  fields.text1 = input;
  DispatchInputChange(fields);
  EXPECT_EQ(fields.text2, expected.greenwich);
  EXPECT_EQ(fields.text3, expected.standard.value_or(kInvalid));
  EXPECT_EQ(fields.text4, expected.daylight.value_or(kInvalid));
  EXPECT_EQ(fields.writes, (std::vector<int>{2, 3, 4}));
}

TEST(InputChange, RejectedInputsReadInvalid) {
  const char* const inputs[] = {"",     "0",          "25568",      "8",
                                "8640", "2147483648", "9999999999", "12a",
                                "a",    "-25569",     "25568.9",    "2147483647.4",
                                "1e9",  "0x7FFFFFFF", " ",          "1,000,000"};
  for (const char* input : inputs) ExpectInvalidEverywhere(input);
}

TEST(InputChange, AcceptedCountsShowGreenwichStandardAndDaylight) {
  const struct {
    const char* input;
    std::int64_t count;
  } cases[] = {
      {"25569", 25569},
      {"86400", 86400},
      {"1000000000", 1000000000},
      {"0000086400", 86400},
      {" 30000 ", 30000},
      {"+30000", 30000},
      {"2147440000", 2147440000},
      {"2147476447", 2147476447},
      {"2147480047", 2147480047},
      {"2147480048", 2147480048},
      {"2147483647", 2147483647},
      {"25569.0", 25569},
      // A fraction of one half rounds to the even second in all three outputs alike.
      {"30000.5", 30000},
      {"30001.5", 30002},
      {"30000.4", 30000},
      {"30000.6", 30001},
  };
  for (const auto& c : cases) ExpectDates(c.input, c.count);
}

// The handler itself stops where the error arose, leaving the unreached outputs as they were.
TEST(InputChange, HandlerStopsAtTheOverflow) {
  FakeFields fields;
  fields.text2 = fields.text3 = fields.text4 = "previous";
  fields.text1 = "2147483647";
  EXPECT_THROW(OnInputChange(fields), OverflowError);
  const bool east = ExpectedBiasMinutes() < 0;
  const std::vector<int> written = east ? std::vector<int>{2} : std::vector<int>{2, 3};
  EXPECT_EQ(fields.writes, written);
  EXPECT_EQ(fields.text4, "previous");
  EXPECT_EQ(fields.text3 == "previous", east);
}

}  // namespace
}  // namespace halvrenn
