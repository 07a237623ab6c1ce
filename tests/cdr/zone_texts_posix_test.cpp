// The machine's zone against the C library's localtime_r under the TZ of the run, every few hours
// from 1970 to 2106: names from the database, POSIX rules, and the fall-back to Greenwich.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "conversion.h"

namespace halvrenn::cdr {
namespace {

TEST(CdrMachineZone, LocalTimeIsTheCLibrarys) {
  tzset();
  const auto rules = MachineZoneRules();
  TimeTexts texts(*rules, 0, TextFormat::kIso);
  int mismatches = 0;
  // A step prime to an hour, so that the walk meets every minute of the day over the years.
  for (std::int64_t seconds = 1; seconds <= kLastSecond && mismatches < 5; seconds += 25253) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ASSERT_NE(localtime_r(&time, &local), nullptr);
    char expected[32];
    std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S", &local);
    std::string text;
    texts.Append(text, Added::kLocal, seconds);
    if (text != expected) {
      ++mismatches;
      ADD_FAILURE() << "at " << seconds << ": " << text << ", the C library " << expected;
    }
  }
}

}  // namespace
}  // namespace halvrenn::cdr
