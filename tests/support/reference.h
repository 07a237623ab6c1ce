#pragma once

// Expected values computed apart from the code under test: calendar fields from the platform's
// own calendar (gmtime_r on POSIX, FileTimeToSystemTime on Windows), rendered by a fixed pattern
// of the locale each platform's tests run under (C.UTF-8 natively, en-US under Wine).

#include <cstdint>
#include <optional>
#include <string>

namespace halvrenn::testing {

struct ReferenceDateTime {
  int year, month, day, hour, minute, second, weekday;
};

ReferenceDateTime ReferenceCalendar(std::int64_t seconds_since_1970);

// "1970-01-01 07:06:09" natively, "1/1/1970 7:06:09 AM" under Wine; the date alone at midnight.
std::string ExpectedDateText(std::int64_t seconds_since_1970);

// The zone offset the test run was started with (HALVRENN_EXPECTED_BIAS, minutes west of
// Greenwich); fails the calling test when the run did not set it.
std::int32_t ExpectedBiasMinutes();

// The three outputs the window should show for an accepted count: Greenwich, standard, daylight.
// An empty output is one whose 32-bit arithmetic overflows in this zone.
struct ExpectedOutputs {
  std::string greenwich;
  std::optional<std::string> standard;
  std::optional<std::string> daylight;
};
ExpectedOutputs ExpectedOutputsFor(std::int64_t whole_count, std::int32_t bias_minutes);

}  // namespace halvrenn::testing
