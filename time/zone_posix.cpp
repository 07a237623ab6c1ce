// The zone's base offset on POSIX systems (glibc), read afresh at every call, by the one
// definition of zone_rules.h over the C library's offsets.
//
// glibc itself re-reads its zone only when the text of TZ changes, or, with TZ unset, when
// /etc/localtime resolves to another file or the file changed: tzset() stat()s it every time,
// a system call that costs more than the rest of a conversion. Here the same conditions are
// checked more cheaply: the text of TZ is compared in memory, and the path of /etc/localtime is
// watched with inotify, so that a call costs one read() of the watch instead of tzset()'s stat(),
// and the offsets are worked out again only after a change. Without inotify every call does it
// all. One change inotify cannot see: a file system mounted over a part of the path.

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "time/locale_and_zone.h"
#include "time/path_watch_posix.h"
#include "time/zone_rules.h"
#include "time/zone_rules_posix.h"

namespace halvrenn::platform {
namespace {

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
  const std::unique_ptr<ZoneRules> rules = CLibraryZoneRules();
  last.tz = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
  last.year = LocalYearAt(*rules, now);
  last.bias_minutes = StandardBiasMinutes(*rules, last.year.year);
  last.valid = watched;
  return last.bias_minutes;
}

}  // namespace halvrenn::platform
