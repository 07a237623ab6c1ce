// The zone's base offset on POSIX systems (glibc), read afresh at every call.
//
// glibc itself re-reads its zone only when the text of TZ changes, or, with TZ unset, when
// /etc/localtime resolves to another file or the file changed: tzset() stat()s it every time,
// a system call that costs more than the rest of a conversion. Here the same two conditions are
// checked more cheaply: the text of TZ is compared in memory, and /etc/localtime is watched with
// inotify, so that a call costs one read() of the watch instead of tzset()'s stat(), and the
// offsets are worked out again only after a change. Without inotify every call does it all.

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
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

std::int64_t CurrentYear() {
  constexpr std::int64_t kSecondsPerDay = 86400;
  const std::int64_t now = std::time(nullptr);
  const std::int64_t today = now / kSecondsPerDay - (now % kSecondsPerDay < 0 ? 1 : 0);
  return CivilFromDays(today).year;
}

// The base offset is the smaller of the offsets the zone keeps in mid-January and mid-July of
// `year`: where clocks change, standard time is the one behind, in either hemisphere. glibc's
// `timezone` would be simpler, but tzdata writes Irish winter time as a negative daylight saving,
// which puts Dublin's standard time an hour east of Greenwich. The two instants are noon at
// Greenwich on the 15th, a day's margin from any month's edge in every zone.
std::int32_t BiasMinutesInYear(std::int64_t year) {
  constexpr std::int64_t kSecondsPerDay = 86400;
  const std::optional<long> january = OffsetAt(DaysFromCivil(year, 1, 15) * kSecondsPerDay + 43200);
  const std::optional<long> july = OffsetAt(DaysFromCivil(year, 7, 15) * kSecondsPerDay + 43200);
  if (!january || !july) return 0;
  // Zones lie within a day of Greenwich, so the minutes fit 32 bits.
  return static_cast<std::int32_t>(-std::min(*january, *july) / 60);
}

// Tells whether /etc/localtime may have changed since it was armed: a watch on the directory of
// every link on the way to the zone file, for that link's name, and one on the file itself.
// Any doubt (no inotify, a full queue, a failed read) counts as a change.
class LocaltimeWatch {
 public:
  LocaltimeWatch() = default;
  LocaltimeWatch(const LocaltimeWatch&) = delete;
  LocaltimeWatch& operator=(const LocaltimeWatch&) = delete;
  ~LocaltimeWatch() { Close(); }

  // Watches the path from now on; false when it cannot, and then every check reports a change.
  bool Arm() {
    Close();
    descriptor_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0) return false;
    // Follow the chain of links by hand, so that re-pointing any of them is seen (stat() in
    // tzset follows them all). Links are relative to their own directory.
    std::string path = kLocaltimePath;
    for (int links = 0; links < 16; ++links) {
      const std::size_t slash = path.rfind('/');
      const std::string directory = slash == 0 ? "/" : path.substr(0, slash);
      if (!WatchEntry(directory, path.substr(slash + 1))) return Fail();
      std::array<char, PATH_MAX> target{};
      const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
      if (length < 0) {
        // Missing: glibc keeps Greenwich, and the entry's watch reports it coming back.
        if (errno == ENOENT) return true;
        if (errno != EINVAL) return Fail();  // EINVAL: not a link, the zone file itself
        constexpr std::uint32_t kFileChanges =
            IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
        return inotify_add_watch(descriptor_, path.c_str(), kFileChanges) >= 0 || Fail();
      }
      std::string next(target.data(), static_cast<std::size_t>(length));
      if (!next.starts_with('/')) next.insert(0, directory + '/');
      path = std::move(next);
    }
    return Fail();  // a loop of links
  }

  // Whether anything watched changed since Arm(). Reads the pending events, so that a change is
  // reported once; the caller arms again before it reads the zone.
  bool Changed() {
    if (descriptor_ < 0) return true;
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
  std::vector<Entry> entries_;
};

// The last offset worked out, and what it was worked out from.
struct ZoneReading {
  bool valid = false;
  std::optional<std::string> tz;  // the text of TZ; nothing when it was unset
  std::int64_t year = 0;
  std::int32_t bias_minutes = 0;
};

}  // namespace

std::int32_t ZoneBiasMinutes() {
  thread_local LocaltimeWatch localtime_watch;
  thread_local ZoneReading last;

  const char* tz = std::getenv("TZ");
  const std::int64_t year = CurrentYear();
  // With TZ set, glibc never reads /etc/localtime; with TZ unset, the watch tells.
  const bool file_may_have_changed = tz == nullptr && localtime_watch.Changed();
  const bool same_tz = tz != nullptr ? last.tz && *last.tz == tz : !last.tz;
  if (last.valid && same_tz && last.year == year && !file_may_have_changed) {
    return last.bias_minutes;
  }

  // Armed before the zone is read, so that a change while it is read shows at the next call.
  last.valid = tz != nullptr || localtime_watch.Arm();
  tzset();  // re-reads TZ, or /etc/localtime when TZ is unset and the file changed
  last.tz = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
  last.year = year;
  last.bias_minutes = BiasMinutesInYear(year);
  return last.bias_minutes;
}

}  // namespace halvrenn::platform
