// Zones named by the user on Windows: a Windows name, or a tz database name mapped to one by
// CLDR's table (windows_zone_names.inc, made by scripts/windows_zone_names.sh). Apart from the
// machine's zone, so that a program that never names a zone carries no table.

#include <algorithm>
#include <iterator>
#include <string>

#include "time/zone_rules.h"
#include "time/zone_rules_win32.h"

namespace halvrenn {
namespace {

struct NamePair {
  std::string_view tz;
  std::string_view windows;
};

constexpr NamePair kWindowsZoneNames[] = {
#include "time/windows_zone_names.inc"
};

}  // namespace

std::unique_ptr<ZoneRules> NamedZoneRules(std::string_view name, std::string& error,
                                          std::string* substitute) {
  if (std::unique_ptr<ZoneRules> zone = SystemZoneRules(name)) return zone;
  const auto* mapped =
      std::lower_bound(std::begin(kWindowsZoneNames), std::end(kWindowsZoneNames), name,
                       [](const NamePair& pair, std::string_view key) { return pair.tz < key; });
  if (mapped != std::end(kWindowsZoneNames) && mapped->tz == name) {
    if (std::unique_ptr<ZoneRules> zone = SystemZoneRules(mapped->windows)) {
      // Windows keeps a zone's rules for recent years and applies the earliest of them to every
      // year before, and one Windows zone stands for tz zones whose histories differ.
      if (substitute != nullptr) {
        *substitute = std::string(name) + " is served by the Windows zone \"" +
                      std::string(mapped->windows) +
                      "\", whose history may differ from the tz database's (often before 2000)";
      }
      return zone;
    }
  }
  error = "no time zone named \"" + std::string(name) + "\" on this system";
  return nullptr;
}

// Windows keeps no zone's rules for the process: each reading asks the system again.
std::unique_ptr<ZoneRules> ZoneRulesReadAgain(std::string_view name, std::string& error) {
  return ChosenZoneRules(name, error);  // the system reads a zone afresh each time
}

}  // namespace halvrenn
