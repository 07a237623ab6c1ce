#pragma once

// The rules of a time zone: which offset from Greenwich it keeps at any instant, daylight saving
// included. One file per platform implements them: zone_rules_posix.cpp over the tz database
// (Howard Hinnant's date/tz.h), zone_rules_win32.cpp over the system's dynamic zone information.
//
// Example: for America/New_York, IntervalAt(1796619600) (2026-12-07 05:00:00 GMT) gives the
// interval of Eastern Standard Time that began 2026-11-01 06:00:00 GMT, offset -18000.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace halvrenn::cdr {

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

  // The zone's base offset in minutes, Greenwich = local + bias (300 for New York), as the
  // window's standard text uses it: the zone's standard time this year.
  virtual std::int32_t BaseBiasMinutes() const = 0;
};

// The zone of the machine, as the C library or the system reads it for this process. Never
// fails: an unreadable zone is Greenwich, as the C library takes it.
std::unique_ptr<ZoneRules> MachineZoneRules();

// A zone by name: a tz database name on every platform where it can be had, and on Windows also
// a Windows zone name. Nothing, with `error` set, for a name that names no zone.
std::unique_ptr<ZoneRules> NamedZoneRules(std::string_view name, std::string& error);

// The offset at an instant, looked up again only when the instant leaves the last interval, so
// that a run of values in one season costs two comparisons each. One per thread.
class ZoneOffsets {
 public:
  explicit ZoneOffsets(const ZoneRules& rules) : rules_(rules) {}

  std::int32_t OffsetAt(std::int64_t instant) {
    if (instant < current_.begin || instant >= current_.end) current_ = rules_.IntervalAt(instant);
    return current_.offset_seconds;
  }

 private:
  const ZoneRules& rules_;
  ZoneInterval current_{1, 0, 0};  // empty: the first call looks up
};

}  // namespace halvrenn::cdr
