// Zones against the C library's localtime_r, from 1970 to 2106: the machine's zone under the TZ
// of the run (names, POSIX rules, the fall-back to Greenwich), and every zone of the tz database
// by name, where the years after a file's last listed transition follow the rule at its end.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cdr/convert/conversion.h"

namespace halvrenn::cdr {
namespace {

std::int32_t CLibraryOffset(std::int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm local{};
  EXPECT_NE(localtime_r(&time, &local), nullptr);
  return static_cast<std::int32_t>(local.tm_gmtoff);
}

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
    texts.Append(text, TimeText::kLocal, seconds);
    if (text != expected) {
      ++mismatches;
      ADD_FAILURE() << "at " << seconds << ": " << text << ", the C library " << expected;
    }
  }
}

// The zone names of the database, links included, from its source as zic read it.
std::vector<std::string> DatabaseZoneNames() {
  std::vector<std::string> names;
  std::ifstream source("/usr/share/zoneinfo/tzdata.zi");
  for (std::string line; std::getline(source, line);) {
    if (line.starts_with("Z ")) names.push_back(line.substr(2, line.find(' ', 2) - 2));
    if (line.starts_with("L ")) names.push_back(line.substr(line.rfind(' ') + 1));
  }
  return names;
}

// Each interval's first and last second and a probe every week or so inside it keep the C
// library's offset, so that an edge off by a second or a missed change both show.
std::optional<std::string> FirstDifference(const ZoneRules& rules) {
  constexpr std::int64_t kProbeStep = 604807;  // a week and 7 s, prime to the hour
  for (std::int64_t at = kFirstSecond; at <= kLastSecond;) {
    const ZoneInterval interval = rules.IntervalAt(at);
    const std::int64_t last = std::min(interval.end - 1, kLastSecond);
    std::vector<std::int64_t> probes = {std::max(interval.begin, kFirstSecond), last};
    for (std::int64_t probe = at + kProbeStep; probe < last; probe += kProbeStep) {
      probes.push_back(probe);
    }
    for (const std::int64_t probe : probes) {
      if (CLibraryOffset(probe) != interval.offset_seconds) {
        return "at " + std::to_string(probe) + ": " + std::to_string(interval.offset_seconds) +
               ", the C library " + std::to_string(CLibraryOffset(probe));
      }
    }
    if (interval.end <= at) return "an empty interval at " + std::to_string(at);
    at = interval.end;
  }
  return std::nullopt;
}

TEST(CdrZoneDatabase, EveryZoneIsTheCLibrarysTo2106) {
  const std::vector<std::string> names = DatabaseZoneNames();
  ASSERT_GT(names.size(), 500U);
  const char* saved = std::getenv("TZ");
  const std::optional<std::string> tz_of_run =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  for (const std::string& name : names) {
    std::string error;
    const auto rules = NamedZoneRules(name, error);
    ASSERT_NE(rules, nullptr) << error;
    setenv("TZ", name.c_str(), 1);
    tzset();
    if (const std::optional<std::string> difference = FirstDifference(*rules)) {
      ADD_FAILURE() << name << " " << *difference;
    }
  }
  if (tz_of_run) {
    setenv("TZ", tz_of_run->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace halvrenn::cdr
