// The added texts against references apart from the converter: the window's own outputs for the
// locale format, the C library's local time for the zone rules (POSIX), and transitions that the
// zones' published rules fix (every platform).

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "cdr/convert/conversion.h"
#include "fake_fields.h"
#include "time/locale_and_zone.h"
#include "time/serial_date.h"
#include "window/dispatch.h"

namespace halvrenn::cdr {
namespace {

std::string Text(TimeTexts& texts, TimeText time_text, std::int64_t seconds) {
  std::string text;
  texts.Append(text, time_text, seconds);
  return text;
}

// The ISO text of a count of seconds, as the Greenwich column writes it.
std::string IsoText(std::int64_t seconds) {
  std::string error;
  static const auto greenwich = NamedZoneRules("Etc/UTC", error);
  TimeTexts texts(*greenwich, 0, TextFormat::kIso);
  return Text(texts, TimeText::kGmt, seconds);
}

// For every count the window accepts, the locale texts are the window's Text2, Text3 and Text4,
// in the machine's zone and the user's locale of the run. Where the window's 32-bit arithmetic
// overflows and it shows "Invalid", the converter shows a date.
TEST(CdrWindow, LocaleTextsAreTheWindowsOwn) {
  const auto rules = MachineZoneRules();
  TimeTexts texts(*rules, platform::ZoneBiasMinutes(), TextFormat::kLocale);
  std::vector<std::int64_t> counts = {
      25569,      86400,      951782400,         1000000000, 1773903600, 1796619600,
      2147480047, 2147480048, 2147483647 - 3600, 2147483646, 2147483647};
  for (std::int64_t count = 25569; count < 2147483647; count += 9999991) counts.push_back(count);
  for (const std::int64_t count : counts) {
    halvrenn::testing::FakeFields window;
    window.text1 = std::to_string(count);
    DispatchInputChange(window);
    EXPECT_EQ(Text(texts, TimeText::kGmt, count), window.text2) << count;
    for (const auto& [time_text, shown] : {std::pair{TimeText::kStandard, window.text3},
                                           std::pair{TimeText::kDaylight, window.text4}}) {
      const std::string text = Text(texts, time_text, count);
      if (shown == kInvalidText) {
        EXPECT_NE(text, kInvalidText) << count;
        EXPECT_FALSE(text.empty()) << count;
      } else {
        EXPECT_EQ(text, shown) << count;
      }
    }
  }
}

struct Transition {
  const char* zone;
  std::int64_t instant;  // the first second of the new offset
  std::int32_t before;   // offset the second before, seconds east
  std::int32_t after;
};

// From the zones' rules: the US changes at 02:00 local on the second Sunday of March and the first
// Sunday of November, the EU at 01:00 GMT on the last Sundays of March and October, Sydney at
// 02:00 standard (03:00 daylight) on the first Sundays of October and April. One transition after
// 2038 each, where 32-bit zone data ends.
const std::vector<Transition> kTransitions = {
    {"America/New_York", 1772953200, -18000, -14400},  // 2026-03-08 07:00:00 GMT
    {"America/New_York", 1793512800, -14400, -18000},  // 2026-11-01 06:00:00 GMT
    {"America/New_York", 2172722400, -14400, -18000},  // 2038-11-07 06:00:00 GMT
    {"Europe/Paris", 1774746000, 3600, 7200},          // 2026-03-29 01:00:00 GMT
    {"Europe/Paris", 1792890000, 7200, 3600},          // 2026-10-25 01:00:00 GMT
    {"Europe/Paris", 4141328400, 3600, 7200},          // 2101-03-27 01:00:00 GMT
    {"Australia/Sydney", 1775318400, 39600, 36000},    // 2026-04-05 03:00 daylight, 04-04 16:00 GMT
    {"Australia/Sydney", 1791043200, 36000, 39600},    // 2026-10-04 02:00 standard, 10-03 16:00 GMT
};

TEST(CdrZone, TransitionsOfNamedZones) {
  for (const Transition& t : kTransitions) {
    std::string error;
    const auto rules = NamedZoneRules(t.zone, error);
    ASSERT_NE(rules, nullptr) << error;
    TimeTexts texts(*rules, 0, TextFormat::kIso);
    // Walked forwards, then looked up alone, so that a cached interval cannot hide an edge.
    for (const bool fresh : {false, true}) {
      for (std::int64_t second = -2; second <= 1; ++second) {
        TimeTexts alone(*rules, 0, TextFormat::kIso);
        TimeTexts& used = fresh ? alone : texts;
        const std::int32_t expected = second < 0 ? t.before : t.after;
        std::string offset;
        AppendOffset(offset, expected);
        EXPECT_EQ(Text(used, TimeText::kOffset, t.instant + second), offset)
            << t.zone << " " << t.instant;
        EXPECT_EQ(Text(used, TimeText::kLocal, t.instant + second),
                  IsoText(t.instant + second + expected))
            << t.zone << " " << t.instant;
      }
    }
  }
}

TEST(CdrZone, BaseOffsetsOfNamedZones) {
  const std::vector<std::pair<const char*, std::int32_t>> zones = {{"America/New_York", 300},
                                                                   {"Europe/Dublin", 0},
                                                                   {"Australia/Sydney", -600},
                                                                   {"Asia/Kolkata", -330},
                                                                   {"Etc/UTC", 0}};
  for (const auto& [zone, bias] : zones) {
    std::string error;
    const auto rules = NamedZoneRules(zone, error);
    ASSERT_NE(rules, nullptr) << error;
    EXPECT_EQ(rules->BaseBiasMinutes(std::time(nullptr)), bias) << zone;
  }
}

TEST(CdrZone, IsoTextsAndOffsets) {
  const std::vector<std::pair<std::int64_t, const char*>> dates = {
      {1, "1970-01-01 00:00:01"},           {951782400, "2000-02-29 00:00:00"},
      {2147483647, "2038-01-19 03:14:07"},  {4294967295, "2106-02-07 06:28:15"},
      {-2208988800, "1900-01-01 00:00:00"}, {253402300799, "9999-12-31 23:59:59"}};
  for (const auto& [seconds, text] : dates) EXPECT_EQ(IsoText(seconds), text);
  const std::vector<std::pair<std::int32_t, const char*>> offsets = {
      {0, "+00:00"},     {3600, "+01:00"},     {-18000, "-05:00"},
      {19800, "+05:30"}, {-2670, "-00:44:30"}, {50400, "+14:00"}};
  for (const auto& [seconds, text] : offsets) {
    std::string out;
    AppendOffset(out, seconds);
    EXPECT_EQ(out, text);
  }
}

}  // namespace
}  // namespace halvrenn::cdr
