// The zone's base offset on POSIX systems (glibc), read afresh at every call.
//
// glibc itself re-reads its zone only when the text of TZ changes, or, with TZ unset, when
// /etc/localtime resolves to another file or the file changed: tzset() stat()s it every time,
// a system call that costs more than the rest of a conversion. Here the same conditions are
// checked more cheaply: the text of TZ is compared in memory, and the path of /etc/localtime is
// watched with inotify, so that a call costs one read() of the watch instead of tzset()'s stat(),
// and the offsets are worked out again only after a change. Without inotify every call does it
// all. One change inotify cannot see: a file system mounted over a part of the path.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "locale_and_zone.h"
#include "path_watch_posix.h"

namespace halvrenn::platform {
namespace {

constexpr const char* kLocaltimePath = "/etc/localtime";

// Seconds east of Greenwich that the zone keeps at `instant`, or nothing when it cannot tell.
std::optional<long> OffsetAt(std::int64_t instant) {
  const auto time = static_cast<std::time_t>(instant);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return std::nullopt;
  return local.tm_gmtoff;
}

// The local year of `now`, and the span of instants [begins, ends) that surely lie in it: its
// edges are local midnights, placed by the offsets the zone keeps around them and shrunk by the
// difference where those are unsure, so that the span never reaches into another year.
struct LocalYear {
  std::int64_t year = 0;
  std::int64_t begins = 0;
  std::int64_t ends = 0;
};

std::optional<LocalYear> LocalYearAt(std::int64_t now) {
  const std::optional<long> offset_now = OffsetAt(now);
  if (!offset_now) return std::nullopt;
  const std::int64_t local_now = now + *offset_now;
  const std::int64_t local_day = DayOfSeconds(local_now);
  LocalYear local{CivilFromDays(local_day).year};
  // A local midnight as a Greenwich instant: the offset in force there may differ from now's.
  const auto edge = [&](std::int64_t year, bool earliest) -> std::optional<std::int64_t> {
    const std::int64_t midnight = DaysFromCivil(year, 1, 1) * kSecondsPerDay;
    const std::optional<long> offset_there = OffsetAt(midnight - *offset_now);
    if (!offset_there) return std::nullopt;
    const long offset =
        earliest ? std::max(*offset_now, *offset_there) : std::min(*offset_now, *offset_there);
    return midnight - offset;
  };
  const std::optional<std::int64_t> begins = edge(local.year, false);
  const std::optional<std::int64_t> ends = edge(local.year + 1, true);
  if (!begins || !ends) return std::nullopt;
  local.begins = *begins;
  local.ends = *ends;
  return local;
}

// The base offset is the smaller of the offsets the zone keeps in mid-January and mid-July of
// `year`: where clocks change, standard time is the one behind, in either hemisphere. glibc's
// `timezone` would be simpler, but tzdata writes Irish winter time as a negative daylight saving,
// which puts Dublin's standard time an hour east of Greenwich. The two instants are noon at
// Greenwich on the 15th, a day's margin from any month's edge in every zone.
std::int32_t BiasMinutesInYear(std::int64_t year) {
  const std::optional<long> january = OffsetAt(DaysFromCivil(year, 1, 15) * kSecondsPerDay + 43200);
  const std::optional<long> july = OffsetAt(DaysFromCivil(year, 7, 15) * kSecondsPerDay + 43200);
  if (!january || !july) return 0;
  // Zones lie within a day of Greenwich, so the minutes fit 32 bits.
  return static_cast<std::int32_t>(-std::min(*january, *july) / 60);
}

// The last offset worked out, and what it was worked out from.
struct ZoneReading {
  bool valid = false;
  std::optional<std::string> tz;  // the text of TZ; nothing when it was unset
  LocalYear year;
  std::int32_t bias_minutes = 0;
};

}  // namespace

std::int32_t ZoneBiasMinutes() {
  thread_local PathWatch localtime_watch(kLocaltimePath);
  thread_local ZoneReading last;

  const char* tz = std::getenv("TZ");
  const std::int64_t now = std::time(nullptr);
  // With TZ set, glibc never reads /etc/localtime; with TZ unset, the watch tells.
  const bool file_may_have_changed = tz == nullptr && localtime_watch.Changed();
  const bool same_tz = tz != nullptr ? last.tz && *last.tz == tz : !last.tz;
  const bool same_year = last.year.begins <= now && now < last.year.ends;
  if (last.valid && same_tz && same_year && !file_may_have_changed) return last.bias_minutes;

  // Invalid until it is complete, so that an exception leaves nothing half-updated. Armed
  // before the zone is read, so that a change while it is read shows at the next call.
  last.valid = false;
  const bool watched = tz != nullptr || localtime_watch.Arm();
  tzset();  // re-reads TZ, or /etc/localtime when TZ is unset and the file changed
  const std::optional<LocalYear> year = LocalYearAt(now);
  if (!year) return 0;
  last.tz = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
  last.year = *year;
  last.bias_minutes = BiasMinutesInYear(year->year);
  last.valid = watched;
  return last.bias_minutes;
}

}  // namespace halvrenn::platform
