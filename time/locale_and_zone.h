#pragma once

// The core's only contact with the operating system. Every call reads the system afresh, so a
// change of zone or of the user's formats shows at the next conversion. One file per platform
// implements it: locale_and_zone_win32.cpp on Windows, locale_posix.cpp and zone_posix.cpp
// elsewhere.

#include <cstdint>
#include <string>

#include "time/civil_date_time.h"

namespace halvrenn::platform {

// The zone's base offset in minutes, Greenwich = local + Bias (300 for New York, -60 for
// Paris, 0 for Dublin, -600 for Sydney), without any daylight-saving adjustment; 0 when the
// system cannot tell.
std::int32_t ZoneBiasMinutes();

// The date in the user's short-date format and, when `with_time`, one blank and the time of day
// in the user's long time format (with seconds), UTF-8; empty when the platform cannot render it.
std::string FormatDateTime(const CivilDateTime& when, bool with_time);

// The user's decimal separator, UTF-8 (it need not be one byte).
std::string DecimalSeparator();

// A count in the user's digit grouping, UTF-8: 1590825 is "1,590,825" in the United States,
// "1.590.825" in Germany, "15,90,825" in India and "1590825" in the C locale.
std::string GroupedCount(std::uint64_t count);

}  // namespace halvrenn::platform
