#pragma once

// The process's zone as the C library has it, for the window's standard text: TZ or
// /etc/localtime, whichever tzset() last read. Its offsets cost a localtime_r each.

#include <memory>

#include "time/zone_rules.h"

namespace halvrenn {

// The machine's zone when TZ is unset: a link into the tz database, or a copy of one of its files.
inline constexpr const char* kLocaltimePath = "/etc/localtime";

std::unique_ptr<ZoneRules> CLibraryZoneRules();

}  // namespace halvrenn
