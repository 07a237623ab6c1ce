#pragma once

// The epoch conversions: a count of seconds since 1970-01-01 00:00:00 GMT as display text.

#include <cstdint>
#include <string>
#include <string_view>

namespace halvrenn::Module1 {

// The Greenwich date and time of the count in `text`. The double read from the text goes to
// AddSeconds as it is (rounded there), not through a 32-bit integer. Expects a text that
// IsNumericText accepts.
std::string EpochToGmtText(std::string_view text);

// The local standard date and time: the count shifted by the zone's base offset (Bias minutes,
// positive west of Greenwich), read from the system at every call so that a change of zone
// shows at once; daylight-saving rules are not applied. OverflowError when Bias * 60 or the
// shifted count leaves 32 bits, as at 2147483647 in any zone east of Greenwich.
std::string EpochToLocalText(std::int32_t seconds);

}  // namespace halvrenn::Module1
