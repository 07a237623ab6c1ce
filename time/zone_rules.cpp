// The base offset of a zone, from its offsets alone: the one definition that the window's
// standard text and the converter's standard and daylight columns share.

#include "time/zone_rules.h"

#include <algorithm>

#include "time/civil_date_time.h"

namespace halvrenn {

LocalYear LocalYearAt(const ZoneRules& rules, std::int64_t now) {
  const std::int32_t offset_now = rules.OffsetAt(now);
  LocalYear local{CivilFromDays(DayOfSeconds(now + offset_now)).year};
  // A local midnight as a Greenwich instant: the offset in force there may differ from now's.
  const auto edge = [&](std::int64_t year, bool earliest) {
    const std::int64_t midnight = DaysFromCivil(year, 1, 1) * kSecondsPerDay;
    const std::int32_t offset_there = rules.OffsetAt(midnight - offset_now);
    return midnight -
           (earliest ? std::max(offset_now, offset_there) : std::min(offset_now, offset_there));
  };
  local.begins = edge(local.year, false);
  local.ends = edge(local.year + 1, true);
  return local;
}

std::int32_t StandardBiasMinutes(const ZoneRules& rules, std::int64_t year) {
  const auto offset_on = [&](unsigned month) {
    return rules.OffsetAt(DaysFromCivil(year, month, 15) * kSecondsPerDay + kSecondsPerDay / 2);
  };
  // Zones lie within a day of Greenwich, so the minutes fit 32 bits.
  return -std::min(offset_on(1), offset_on(7)) / 60;
}

std::int32_t ZoneRules::BaseBiasMinutes(std::int64_t now) const {
  return StandardBiasMinutes(*this, LocalYearAt(*this, now).year);
}

}  // namespace halvrenn
