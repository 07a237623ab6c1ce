#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "time/civil_date_time.h"

namespace halvrenn {

// A date-time as a count of days since 1899-12-30 00:00:00; the fraction is the time of day
// (one second is 1/86400). The value carries no zone: its meaning is the caller's.
// The count is read as one continuous line, before day 0 as after it.
using SerialDate = double;

// What an output shows when there is no date to show.
inline constexpr std::string_view kInvalidText = "Invalid";

// 1970-01-01 00:00:00, the origin of POSIX time stamps.
inline constexpr SerialDate EpochBase = 25569.0;

// The date-time `count` seconds after `base` (before it when negative). The count is first
// rounded to whole seconds, a half going to the even neighbour. A non-finite count gives a
// non-finite result, which renders as "Invalid".
SerialDate AddSeconds(double count, SerialDate base);

// The value rounded to the nearest whole second (half to even) and split into calendar date and
// time of day. Empty when the value is not finite or the second falls outside the years 1 to 9999.
std::optional<CivilDateTime> SplitSerialDate(SerialDate value);

// The date in the user's short-date format, and unless the time of day is exactly midnight, one
// blank and the time in the user's long time format. "Invalid" for a value that cannot be split
// or that the platform cannot render.
std::string FormatGeneralDate(SerialDate value);

}  // namespace halvrenn
