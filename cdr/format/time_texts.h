#pragma once

// The texts added for each time stamp: Greenwich, local wall-clock time (daylight saving
// included), the local offset, and the window's standard and daylight texts (base offset, and
// base offset plus one hour, whatever the date).
//
// Example, America/New_York, 1796619600 (2026-12-07 05:00:00 GMT), ISO format:
//   gmt "2026-12-07 05:00:00", local "2026-12-07 00:00:00", offset "-05:00",
//   standard "2026-12-07 00:00:00", daylight "2026-12-07 01:00:00".
// In the locale format the dates are the window's own texts (FormatGeneralDate), so midnight
// shows the date alone.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cdr/format/field_limits.h"
#include "time/zone_rules.h"

namespace halvrenn::cdr {

enum class TimeText : unsigned char { kGmt, kLocal, kOffset, kStandard, kDaylight };
enum class TextFormat : unsigned char { kIso, kLocale };

// "gmt", "local", "offset", "standard", "daylight": the option's words and the names' suffixes.
std::string_view TimeTextWord(TimeText text);

// The longest text an added column can hold, for the VARCHAR(n) of the type row.
std::size_t LongestText(TimeText text, TextFormat format);

// The first and last count of seconds after 1970 that a time stamp may hold: the files' fields
// are unsigned 32-bit.
inline constexpr std::int64_t kFirstSecond = 1;
inline constexpr auto kLastSecond = static_cast<std::int64_t>(kLargestUnsigned32);

class TimeTexts {
 public:
  // `bias_minutes` is the zone's base offset (Greenwich = local + bias) for standard and daylight.
  TimeTexts(const ZoneRules& rules, std::int32_t bias_minutes, TextFormat format);

  // Appends the text `text` for a count of seconds after 1970, kFirstSecond to kLastSecond.
  void Append(std::string& out, TimeText text, std::int64_t seconds);

 private:
  void AppendDate(std::string& out, std::int64_t seconds);

  // The texts of the days written, by the day modulo their count: a file holds calls of a few
  // days or weeks, each day met again and again.
  struct Day {
    std::int64_t day = INT64_MIN;
    std::array<char, 10> text{};
  };
  std::array<Day, 64> days_{};

  ZoneOffsets offsets_;
  std::int64_t standard_shift_;  // seconds added to Greenwich for the standard text
  TextFormat format_;
};

// Appends "+HH:MM", or "+HH:MM:SS" for an offset that is not whole minutes.
void AppendOffset(std::string& out, std::int32_t offset_seconds);

}  // namespace halvrenn::cdr
