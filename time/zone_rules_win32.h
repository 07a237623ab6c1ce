#pragma once

// Zones by their Windows names, for the tz database names mapped to them (zone_names_win32.cpp).

#include <memory>
#include <string_view>

#include "time/zone_rules.h"

namespace halvrenn {

// A zone of the system by its Windows name, as the registry keys it ("Eastern Standard Time") or
// as its standard name reads, letter case aside; nothing when the system has no such zone.
std::unique_ptr<ZoneRules> SystemZoneRules(std::string_view windows_name);

}  // namespace halvrenn
