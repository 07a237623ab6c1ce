// The zone's base offset on POSIX systems (glibc), read afresh at every call.
//
// glibc itself re-reads its zone only when the text of TZ changes, or, with TZ unset, when
// /etc/localtime resolves to another file or the file changed: tzset() stat()s it every time,
// a system call that costs more than the rest of a conversion. Here the same conditions are
// checked more cheaply: the text of TZ is compared in memory, and the path of /etc/localtime is
// watched with inotify, so that a call costs one read() of the watch instead of tzset()'s stat(),
// and the offsets are worked out again only after a change. Without inotify every call does it
// all. One change inotify cannot see: a file system mounted over a part of the path.

#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "locale_and_zone.h"

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

// Counts the forks of the process: a child shares its parent's inotify queue, and must not read
// the parent's events, so it watches afresh.
std::atomic<unsigned> fork_generation{0};
void CountFork() { fork_generation.fetch_add(1, std::memory_order_relaxed); }

// Tells whether /etc/localtime may have changed since it was armed. The path is resolved one
// component at a time, as the kernel does, and every directory on the way is watched for the
// name of the next component; a link found on the way sends the walk along its target. The zone
// file at the end is watched itself. So re-pointing a link, renaming or replacing a directory on
// the way, or writing the file all show. Any doubt (no inotify, a full queue, a failed read)
// counts as a change.
class LocaltimeWatch {
 public:
  LocaltimeWatch() {
    // Once per process: the handler only counts.
    [[maybe_unused]] static const int kForkCounted = pthread_atfork(nullptr, nullptr, CountFork);
  }
  LocaltimeWatch(const LocaltimeWatch&) = delete;
  LocaltimeWatch& operator=(const LocaltimeWatch&) = delete;
  ~LocaltimeWatch() { Close(); }

  // Watches the path from now on; false when it cannot, and then every check reports a change.
  bool Arm() {
    Close();
    descriptor_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0) return false;
    generation_ = fork_generation.load(std::memory_order_relaxed);
    std::deque<std::string> pending = Components(kLocaltimePath);
    std::string directory = "/";  // resolved so far, free of links
    int links = 0;
    while (!pending.empty()) {
      const std::string name = std::move(pending.front());
      pending.pop_front();
      if (name == ".") continue;
      if (name == "..") {
        directory = Parent(directory);
        continue;
      }
      if (!WatchEntry(directory, name)) return Fail();
      const std::string path = Join(directory, name);
      std::array<char, PATH_MAX> target{};
      const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
      if (length >= 0) {
        if (++links > 40) return Fail();  // a loop of links, as the kernel counts them
        const std::string_view link(target.data(), static_cast<std::size_t>(length));
        std::deque<std::string> rest = Components(link);
        rest.insert(rest.end(), pending.begin(), pending.end());
        pending = std::move(rest);
        if (link.starts_with('/')) directory.assign(1, '/');  // not = "/": GCC 12 warns wrongly
        continue;
      }
      // Missing: glibc keeps Greenwich, and the watch on its directory reports it coming back.
      if (errno == ENOENT || errno == ENOTDIR) return true;
      if (errno != EINVAL) return Fail();  // EINVAL: not a link
      if (pending.empty()) {
        constexpr std::uint32_t kFileChanges =
            IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
        return inotify_add_watch(descriptor_, path.c_str(), kFileChanges) >= 0 || Fail();
      }
      directory = path;
    }
    return Fail();  // the path ended in a directory
  }

  // Whether anything watched changed since Arm(). Reads the pending events, so that a change is
  // reported once; the caller arms again before it reads the zone.
  bool Changed() {
    if (descriptor_ < 0) return true;
    if (generation_ != fork_generation.load(std::memory_order_relaxed)) return true;
    alignas(inotify_event) std::array<char, 4096> events{};
    bool changed = false;
    for (;;) {
      const ssize_t length = read(descriptor_, events.data(), events.size());
      if (length < 0) return changed || errno != EAGAIN;
      if (length == 0) return true;
      for (ssize_t offset = 0; offset < length;) {
        inotify_event event;
        std::memcpy(&event, events.data() + offset, sizeof event);
        const char* name = events.data() + offset + static_cast<ssize_t>(sizeof event);
        changed = changed || IsChange(event, event.len > 0 ? name : "");
        offset += static_cast<ssize_t>(sizeof event + event.len);
      }
    }
  }

 private:
  struct Entry {
    int watch;
    std::string name;
  };

  static std::deque<std::string> Components(std::string_view path) {
    std::deque<std::string> components;
    while (!path.empty()) {
      const std::size_t slash = path.find('/');
      const std::string_view component = path.substr(0, slash);
      if (!component.empty()) components.emplace_back(component);
      if (slash == std::string_view::npos) break;
      path.remove_prefix(slash + 1);
    }
    return components;
  }

  static std::string Join(const std::string& directory, const std::string& name) {
    std::string path = directory;
    if (path != "/") path += '/';
    path += name;
    return path;
  }

  static std::string Parent(const std::string& directory) {
    const std::size_t slash = directory.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : directory.substr(0, slash);
  }

  bool WatchEntry(const std::string& directory, const std::string& name) {
    constexpr std::uint32_t kEntryChanges =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    const int watch = inotify_add_watch(descriptor_, directory.c_str(), kEntryChanges);
    if (watch < 0) return false;
    entries_.push_back({watch, name});
    return true;
  }

  // A directory reports changes of all its entries; only the watched names count. The zone file
  // and anything unexpected (an overflow, a watch dropped) always do.
  bool IsChange(const inotify_event& event, const char* name) const {
    if ((event.mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
      return true;
    }
    bool is_directory_watch = false;
    for (const Entry& entry : entries_) {
      if (entry.watch != event.wd) continue;
      is_directory_watch = true;
      if (entry.name == name) return true;
    }
    return !is_directory_watch;
  }

  bool Fail() {
    Close();
    return false;
  }

  void Close() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    entries_.clear();
  }

  int descriptor_ = -1;
  unsigned generation_ = 0;
  std::vector<Entry> entries_;
};

// The last offset worked out, and what it was worked out from.
struct ZoneReading {
  bool valid = false;
  std::optional<std::string> tz;  // the text of TZ; nothing when it was unset
  LocalYear year;
  std::int32_t bias_minutes = 0;
};

}  // namespace

std::int32_t ZoneBiasMinutes() {
  thread_local LocaltimeWatch localtime_watch;
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
