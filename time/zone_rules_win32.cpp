// Zone rules on Windows, from the system's dynamic zone information: the rules of each year from
// GetTimeZoneInformationForYear, whose transitions ("the second Sunday of March at 02:00") are
// placed in that year here. A zone is the machine's (GetDynamicTimeZoneInformation) or one of
// those EnumDynamicTimeZoneInformation lists, found by its Windows name ("Eastern Standard
// Time") or by a tz database name that CLDR maps to it (windows_zone_names.inc).

#include "time/zone_rules_win32.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "time/ascii_text.h"
#include "time/civil_date_time.h"
#include "time/locale_and_zone.h"
#include "time/utf16_text.h"
#include "time/zone_rules.h"

namespace halvrenn {
namespace {

unsigned DaysInMonth(std::int64_t year, unsigned month) {
  const std::int64_t next =
      month == 12 ? DaysFromCivil(year + 1, 1, 1) : DaysFromCivil(year, month + 1, 1);
  return static_cast<unsigned>(next - DaysFromCivil(year, month, 1));
}

// The local time of a transition in `year`, as seconds since 1970 on the local clock. A
// SYSTEMTIME without a year means the wDay-th (5: the last) wDayOfWeek of the month.
std::int64_t TransitionInYear(const SYSTEMTIME& when, std::int64_t year) {
  unsigned day = when.wDay;
  if (when.wYear == 0) {
    const std::int64_t first = DaysFromCivil(year, when.wMonth, 1);
    const auto first_weekday = static_cast<unsigned>(WeekdayFromDays(first));
    day = 1 + (when.wDayOfWeek + 7 - first_weekday) % 7 + (when.wDay - 1U) * 7;
    while (day > DaysInMonth(year, when.wMonth)) day -= 7;
  }
  // 23:59:59.999, which some zones use for the end of a day, is the next midnight.
  const std::int64_t rounded_up = when.wMilliseconds >= 500 ? 1 : 0;
  return DaysFromCivil(year, when.wMonth, day) * kSecondsPerDay + when.wHour * 3600 +
         when.wMinute * 60 + when.wSecond + rounded_up;
}

class WindowsZone final : public ZoneRules {
 public:
  WindowsZone(const DYNAMIC_TIME_ZONE_INFORMATION& zone, bool machine)
      : zone_(zone), machine_(machine) {}

  ZoneInterval IntervalAt(std::int64_t instant) const override {
    const std::int64_t year = CivilFromDays(DayOfSeconds(instant)).year;
    const std::int64_t year_begins = DaysFromCivil(year, 1, 1) * kSecondsPerDay;
    const std::int64_t year_ends = DaysFromCivil(year + 1, 1, 1) * kSecondsPerDay;
    const std::optional<TIME_ZONE_INFORMATION> found = RulesOfYear(year);
    if (!found) return {year_begins, year_ends, 0};
    const TIME_ZONE_INFORMATION& rules = *found;
    const auto standard = static_cast<std::int32_t>(-(rules.Bias + rules.StandardBias) * 60);
    const auto daylight = static_cast<std::int32_t>(-(rules.Bias + rules.DaylightBias) * 60);
    if (rules.StandardDate.wMonth == 0 || rules.DaylightDate.wMonth == 0) {
      return {year_begins, year_ends, standard};
    }
    // Daylight saving starts on the standard clock and ends on the daylight clock.
    const std::int64_t starts = TransitionInYear(rules.DaylightDate, year) - standard;
    const std::int64_t ends = TransitionInYear(rules.StandardDate, year) - daylight;
    const auto [first, second] = std::minmax(starts, ends);
    // Northern zones keep daylight time between the two, southern ones around them.
    const std::int32_t between = starts < ends ? daylight : standard;
    const std::int32_t around = starts < ends ? standard : daylight;
    if (instant < first) return {year_begins, first, around};
    if (instant < second) return {first, second, between};
    return {second, year_ends, around};
  }

  // The system's own Bias: the machine's as the window reads it, another zone's in the local
  // year that holds `now`.
  std::int32_t BaseBiasMinutes(std::int64_t now) const override {
    if (machine_) return platform::ZoneBiasMinutes();
    const std::optional<TIME_ZONE_INFORMATION> rules = RulesOfYear(LocalYearAt(*this, now).year);
    return rules ? static_cast<std::int32_t>(rules->Bias) : 0;
  }

 private:
  // The system reads a year's rules from the registry; each year is asked once.
  std::optional<TIME_ZONE_INFORMATION> RulesOfYear(std::int64_t year) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    // A few hundred years at most (1969 to 2106): a list searched in order is enough.
    for (const auto& [known, rules] : years_) {
      if (known == year) return rules;
    }
    TIME_ZONE_INFORMATION rules{};
    DYNAMIC_TIME_ZONE_INFORMATION zone = zone_;
    std::optional<TIME_ZONE_INFORMATION> found;
    if (GetTimeZoneInformationForYear(static_cast<USHORT>(year), &zone, &rules)) found = rules;
    years_.emplace_back(year, found);
    return found;
  }

  DYNAMIC_TIME_ZONE_INFORMATION zone_;
  bool machine_;
  mutable std::mutex mutex_;
  mutable std::vector<std::pair<std::int64_t, std::optional<TIME_ZONE_INFORMATION>>> years_;
};

// The system's zones, read from the registry once.
const std::vector<DYNAMIC_TIME_ZONE_INFORMATION>& SystemZones() {
  static const std::vector<DYNAMIC_TIME_ZONE_INFORMATION> zones = [] {
    std::vector<DYNAMIC_TIME_ZONE_INFORMATION> all;
    for (DWORD index = 0;; ++index) {
      DYNAMIC_TIME_ZONE_INFORMATION zone{};
      if (EnumDynamicTimeZoneInformation(index, &zone) != ERROR_SUCCESS) return all;
      all.push_back(zone);
    }
  }();
  return zones;
}

bool FindWindowsZone(std::wstring_view name, DYNAMIC_TIME_ZONE_INFORMATION& found) {
  for (const DYNAMIC_TIME_ZONE_INFORMATION& zone : SystemZones()) {
    if (EqualsIgnoringCase(zone.TimeZoneKeyName, name) ||
        EqualsIgnoringCase(zone.StandardName, name)) {
      found = zone;
      return true;
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<ZoneRules> MachineZoneRules() {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  GetDynamicTimeZoneInformation(&zone);
  return std::make_unique<WindowsZone>(zone, true);
}

std::unique_ptr<ZoneRules> SystemZoneRules(std::string_view windows_name) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  if (!FindWindowsZone(Utf16FromUtf8(windows_name), zone)) return nullptr;
  return std::make_unique<WindowsZone>(zone, false);
}

}  // namespace halvrenn
