#include "reference.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace halvrenn::testing {

std::int32_t ExpectedBiasMinutes() {
  const char* bias = std::getenv("HALVRENN_EXPECTED_BIAS");
  if (bias == nullptr) {
    ADD_FAILURE() << "HALVRENN_EXPECTED_BIAS is not set for this run";
    return 0;
  }
  return static_cast<std::int32_t>(std::strtol(bias, nullptr, 10));
}

ExpectedOutputs ExpectedOutputsFor(std::int64_t whole_count, std::int32_t bias_minutes) {
  const auto fits_32_bits = [](std::int64_t n) {
    return n >= std::numeric_limits<std::int32_t>::min() &&
           n <= std::numeric_limits<std::int32_t>::max();
  };
  const std::int64_t offset = std::int64_t{bias_minutes} * 60;
  ExpectedOutputs expected{ExpectedDateText(whole_count), std::nullopt, std::nullopt};
  if (fits_32_bits(whole_count - offset)) {
    expected.standard = ExpectedDateText(whole_count - offset);
  }
  const std::int64_t daylight_count = whole_count + 3600;
  if (fits_32_bits(daylight_count) && fits_32_bits(daylight_count - offset)) {
    expected.daylight = ExpectedDateText(daylight_count - offset);
  }
  return expected;
}

}  // namespace halvrenn::testing
