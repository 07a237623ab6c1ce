#include "time/serial_date.h"

#include <cmath>
#include <cstdint>

#include "time/locale_and_zone.h"
#include "time/rounding.h"

namespace halvrenn {
namespace {

// Serial days of 0001-01-01 and of 10000-01-01: the years every platform renderer accepts.
// Seconds in that span stay far inside the 2^53 that a double holds exactly.
constexpr double kFirstRenderableSecond = -693593.0 * kSecondsPerDay;
constexpr double kEndOfRenderableSeconds = 2958466.0 * kSecondsPerDay;

// Serial day of 1970-01-01, where the civil calendar algorithm counts from.
constexpr auto kEpochSerialDay = static_cast<std::int64_t>(EpochBase);
static_assert(kEpochSerialDay == EpochBase);

}  // namespace

SerialDate AddSeconds(double count, SerialDate base) {
  // The whole count divided by 86400 carries an error far below a second (about 1e-6 s for
  // every 32-bit count added to EpochBase), so rounding the sum back to seconds recovers it.
  return base + RoundHalfToEven(count) / static_cast<double>(kSecondsPerDay);
}

std::optional<CivilDateTime> SplitSerialDate(SerialDate value) {
  const double seconds = RoundHalfToEven(value * static_cast<double>(kSecondsPerDay));
  if (!(seconds >= kFirstRenderableSecond && seconds < kEndOfRenderableSeconds)) {
    return std::nullopt;  // also NaN
  }
  const auto whole_seconds = static_cast<std::int64_t>(seconds);
  const std::int64_t serial_day = DayOfSeconds(whole_seconds);
  const std::int64_t second_of_day = whole_seconds - serial_day * kSecondsPerDay;  // [0, 86399]
  const std::int64_t days_since_1970 = serial_day - kEpochSerialDay;
  const CivilDate date = CivilFromDays(days_since_1970);
  const auto second = static_cast<int>(second_of_day);  // [0, 86399]
  return CivilDateTime{static_cast<std::int32_t>(date.year),
                       static_cast<int>(date.month),
                       static_cast<int>(date.day),
                       second / 3600,
                       second / 60 % 60,
                       second % 60,
                       WeekdayFromDays(days_since_1970)};
}

std::string FormatGeneralDate(SerialDate value) {
  const std::optional<CivilDateTime> civil = SplitSerialDate(value);
  if (!civil) return std::string(kInvalidText);
  const bool midnight = civil->hour == 0 && civil->minute == 0 && civil->second == 0;
  std::string text = platform::FormatDateTime(*civil, !midnight);
  if (text.empty()) return std::string(kInvalidText);
  return text;
}

}  // namespace halvrenn
