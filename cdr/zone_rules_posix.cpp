// Zone rules on POSIX systems, from the system's tz database through Howard Hinnant's date/tz.h.
//
// The machine's zone is the one the C library uses: TZ when it is set (a zone name, ":name", an
// absolute path to a zone file, or a POSIX rule such as "EST5EDT,M3.2.0,M11.1.0"), /etc/localtime
// otherwise. date::current_zone() ignores TZ, so TZ is read here; a TZ that the database does not
// hold (a POSIX rule) is left to the C library itself, which also gives Greenwich for a TZ that
// names nothing. (date/ptz.h would read POSIX rules, but Debian's copy does not compile as C++20.)

#include <date/tz.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "civil_date_time.h"
#include "locale_and_zone.h"
#include "zone_rules.h"

namespace halvrenn::cdr {
namespace {

// Both a date::time_zone and a Posix::time_zone answer get_info(sys_seconds).
template <typename Zone>
ZoneInterval IntervalOf(const Zone& zone, std::int64_t instant) {
  const date::sys_info info = zone.get_info(date::sys_seconds{std::chrono::seconds{instant}});
  return {info.begin.time_since_epoch().count(), info.end.time_since_epoch().count(),
          static_cast<std::int32_t>(info.offset.count())};
}

// The smaller of the offsets kept at noon Greenwich on 15 January and 15 July of this year, in
// minutes west: where clocks change, standard time is the one behind, in either hemisphere (and
// Dublin, which tzdata writes with a negative daylight saving in winter, is at Greenwich).
std::int32_t BiasFromRules(const ZoneRules& rules) {
  const auto now = std::chrono::system_clock::now();
  const std::int64_t seconds =
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  const std::int64_t year = CivilFromDays(DayOfSeconds(seconds)).year;
  const auto offset_on = [&](unsigned month) {
    return rules.IntervalAt(DaysFromCivil(year, month, 15) * kSecondsPerDay + 43200).offset_seconds;
  };
  return -std::min(offset_on(1), offset_on(7)) / 60;
}

// Debian's zone files list transitions up to 2037 and leave the years after to a rule that
// date/tz.h does not read: it would keep the last offset of 2037 for ever. Those zones' rules
// repeat with the calendar, so a later year is read as the latest year up to 2037 that starts on
// the same weekday and has the same length: its transitions fall on the same days.
constexpr std::int64_t kLastListedYear = 2037;

bool IsLeap(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int64_t SameCalendarYear(std::int64_t year) {
  const int weekday = WeekdayFromDays(DaysFromCivil(year, 1, 1));
  for (std::int64_t earlier = kLastListedYear;; --earlier) {
    if (IsLeap(earlier) == IsLeap(year) &&
        WeekdayFromDays(DaysFromCivil(earlier, 1, 1)) == weekday) {
      return earlier;  // within 28 years
    }
  }
}

class DatabaseZone final : public ZoneRules {
 public:
  explicit DatabaseZone(const date::time_zone* zone) : zone_(zone) {}
  ZoneInterval IntervalAt(std::int64_t instant) const override {
    const std::int64_t year = CivilFromDays(DayOfSeconds(instant)).year;
    if (year <= kLastListedYear) {
      ZoneInterval listed = IntervalOf(*zone_, instant);
      listed.end = std::min(listed.end, DaysFromCivil(kLastListedYear + 1, 1, 1) * kSecondsPerDay);
      return listed;
    }
    const std::int64_t year_begins = DaysFromCivil(year, 1, 1) * kSecondsPerDay;
    const std::int64_t year_ends = DaysFromCivil(year + 1, 1, 1) * kSecondsPerDay;
    const std::int64_t shift =
        year_begins - DaysFromCivil(SameCalendarYear(year), 1, 1) * kSecondsPerDay;
    const ZoneInterval same = IntervalOf(*zone_, instant - shift);
    return {std::max(same.begin, year_begins - shift) + shift,
            std::min(same.end, year_ends - shift) + shift, same.offset_seconds};
  }
  std::int32_t BaseBiasMinutes() const override { return BiasFromRules(*this); }

 private:
  const date::time_zone* zone_;
};

// The process's zone as the C library reads TZ. localtime_r tells only the offset at an instant,
// so an interval's edges are found by probing: day by day to the first change (a POSIX rule
// changes at most twice a year, never twice in a day), then by halving to the second. An
// interval is looked up about twice a year of time stamps, so the few hundred probes cost little.
class CLibraryZone final : public ZoneRules {
 public:
  ZoneInterval IntervalAt(std::int64_t instant) const override {
    const std::int32_t offset = OffsetAt(instant);
    return {Edge(instant, offset, -1), Edge(instant, offset, +1), offset};
  }
  std::int32_t BaseBiasMinutes() const override { return BiasFromRules(*this); }

 private:
  static constexpr std::int64_t kFarthestProbe = 400;  // days

  static std::int32_t OffsetAt(std::int64_t instant) {
    const auto time = static_cast<std::time_t>(instant);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return 0;
    return static_cast<std::int32_t>(local.tm_gmtoff);
  }

  // The first instant after the interval (direction +1), or its first instant (-1).
  static std::int64_t Edge(std::int64_t instant, std::int32_t offset, int direction) {
    std::int64_t same = instant;
    for (std::int64_t day = 1; day <= kFarthestProbe; ++day) {
      const std::int64_t probe = instant + direction * day * kSecondsPerDay;
      if (OffsetAt(probe) != offset) {
        std::int64_t changed = probe;
        while (changed - same > 1 || same - changed > 1) {
          const std::int64_t middle = same + (changed - same) / 2;
          (OffsetAt(middle) == offset ? same : changed) = middle;
        }
        return direction > 0 ? changed : same;
      }
      same = probe;
    }
    return same;  // no change within the probes: the interval ends there
  }
};

// The machine's zone keeps the window's base offset, read as the window reads it.
class MachineZone final : public ZoneRules {
 public:
  explicit MachineZone(std::unique_ptr<ZoneRules> rules) : rules_(std::move(rules)) {}
  ZoneInterval IntervalAt(std::int64_t instant) const override {
    return rules_->IntervalAt(instant);
  }
  std::int32_t BaseBiasMinutes() const override { return platform::ZoneBiasMinutes(); }

 private:
  std::unique_ptr<ZoneRules> rules_;
};

const date::time_zone* FindDatabaseZone(std::string_view name) {
  std::string key(name);
  if (key.starts_with('/')) {
    // A zone file by path: the tz database knows it by the part after ".../zoneinfo/".
    constexpr std::string_view kFolder = "/zoneinfo/";
    const std::size_t folder = key.rfind(kFolder);
    if (folder == std::string::npos) return nullptr;
    key.erase(0, folder + kFolder.size());
  }
  try {
    return date::locate_zone(key);
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::unique_ptr<ZoneRules> RulesFor(std::string_view name) {
  if (const date::time_zone* zone = FindDatabaseZone(name)) {
    return std::make_unique<DatabaseZone>(zone);
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<ZoneRules> MachineZoneRules() {
  std::unique_ptr<ZoneRules> rules;
  if (const char* tz = std::getenv("TZ")) {
    std::string_view name(tz);
    if (name.starts_with(':')) name.remove_prefix(1);
    rules = RulesFor(name);
    if (!rules) {
      tzset();
      rules = std::make_unique<CLibraryZone>();
    }
  } else {
    try {
      rules = std::make_unique<DatabaseZone>(date::current_zone());
    } catch (const std::exception&) {
      // /etc/localtime that names no zone of the database (a copy, not a link): the C library
      // reads the file itself.
      tzset();
      rules = std::make_unique<CLibraryZone>();
    }
  }
  return std::make_unique<MachineZone>(std::move(rules));
}

std::unique_ptr<ZoneRules> NamedZoneRules(std::string_view name, std::string& error) {
  std::unique_ptr<ZoneRules> rules = name.starts_with('/') ? nullptr : RulesFor(name);
  if (!rules) error = "no time zone named \"" + std::string(name) + "\" in the tz database";
  return rules;
}

}  // namespace halvrenn::cdr
