#pragma once

// The rules of a time zone: which offset from Greenwich it keeps at any instant, daylight saving
// included, and its base offset (the window's standard time). One interface with one source per
// platform: zone_rules_posix.cpp reads the tz database's files whole, transitions and the rule
// at the end of each file that carries every year after them (abseil's time zones), and a POSIX
// rule in TZ through the C library; zone_rules_win32.cpp the system's dynamic zone information.
//
// Example: for America/New_York, IntervalAt(1796619600) (2026-12-07 05:00:00 GMT) gives the
// interval of Eastern Standard Time that began 2026-11-01 06:00:00 GMT, offset -18000, and
// BaseBiasMinutes(1796619600) gives 300.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace halvrenn {

// A span of Greenwich seconds since 1970, [begin, end), over which a zone keeps one offset.
struct ZoneInterval {
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int32_t offset_seconds = 0;  // local = Greenwich + offset_seconds (east is positive)
};

class ZoneRules {
 public:
  virtual ~ZoneRules() = default;

  // The interval that holds `instant`; it always does. Safe to call from several threads.
  virtual ZoneInterval IntervalAt(std::int64_t instant) const = 0;

  // The offset kept at `instant`, where a source has a cheaper answer than the whole interval.
  virtual std::int32_t OffsetAt(std::int64_t instant) const {
    return IntervalAt(instant).offset_seconds;
  }

  // The zone's base offset in minutes, Greenwich = local + bias (300 for New York, -600 for
  // Sydney, 0 for Dublin), in the local year that holds `now`: StandardBiasMinutes below, or the
  // system's own Bias on Windows.
  virtual std::int32_t BaseBiasMinutes(std::int64_t now) const;
};

// The local year that holds `now`, and a span of instants [begins, ends) that surely lies in it:
// its edges are local midnights placed by the offsets kept around them, shrunk by their
// difference where those differ, so that the span never reaches into another year.
struct LocalYear {
  std::int64_t year = 0;
  std::int64_t begins = 0;
  std::int64_t ends = 0;
};
LocalYear LocalYearAt(const ZoneRules& rules, std::int64_t now);

// The base offset of `year`: the smaller of the offsets kept at noon Greenwich on 15 January and
// 15 July, in minutes west. Where clocks change, standard time is the one behind, in either
// hemisphere; tzdata writes Irish winter time as a negative daylight saving, and this still puts
// Dublin at Greenwich. The instants are a day from any month's edge in every zone.
std::int32_t StandardBiasMinutes(const ZoneRules& rules, std::int64_t year);

// The zone of the machine, as the C library or the system reads it for this process: TZ when it
// is set, else the contents of /etc/localtime (never /etc/timezone). Never fails: an unreadable
// zone is Greenwich, as the C library takes it.
std::unique_ptr<ZoneRules> MachineZoneRules();

// A zone by name: a tz database name on every platform where it can be had, and on Windows also
// a Windows zone name. Nothing, with `error` set, for a name that names no zone. Where the rules
// are another zone's, `substitute` (when given) says which: Windows has no tz database and serves
// a tz name by the Windows zone CLDR maps it to, whose history may differ (Europe/Paris in 1990).
std::unique_ptr<ZoneRules> NamedZoneRules(std::string_view name, std::string& error,
                                          std::string* substitute = nullptr);

// The rules of a zone whose file changed, read from it again: the machine's zone for an empty
// name, else the zone of that name, as NamedZoneRules would read it for the first time, not
// the rules an earlier reading kept.
std::unique_ptr<ZoneRules> ZoneRulesReadAgain(std::string_view name, std::string& error);

// The zone that a setting such as halvrenn-cdr's --zone names, or the machine's when it names
// none (empty): NamedZoneRules or MachineZoneRules. Inline, so that a program that never names a
// zone (the window) carries no table of zone names.
inline std::unique_ptr<ZoneRules> ChosenZoneRules(std::string_view name, std::string& error,
                                                  std::string* substitute = nullptr) {
  return name.empty() ? MachineZoneRules() : NamedZoneRules(name, error, substitute);
}

// The offset at an instant, looked up again only when the instant is in none of the last few
// intervals found, so that values from either side of a change of season, in any order, cost a
// few comparisons each. One per thread.
class ZoneOffsets {
 public:
  explicit ZoneOffsets(const ZoneRules& rules) : rules_(rules) {}

  std::int32_t OffsetAt(std::int64_t instant) {
    for (const ZoneInterval& known : known_) {
      if (instant >= known.begin && instant < known.end) return known.offset_seconds;
    }
    // The oldest interval found makes room for the new one.
    ZoneInterval& replaced = known_[next_];
    next_ = (next_ + 1) % known_.size();
    replaced = rules_.IntervalAt(instant);
    return replaced.offset_seconds;
  }

 private:
  const ZoneRules& rules_;
  // A file of a few weeks crosses a change or two. Empty intervals at first: each first call
  // looks up.
  std::array<ZoneInterval, 4> known_{{{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}}};
  std::size_t next_ = 0;
};

}  // namespace halvrenn
