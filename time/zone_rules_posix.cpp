// Zone rules on POSIX systems. A zone of the tz database is read whole by abseil's time zones
// (cctz): the transitions its file lists and the POSIX rule at the file's end, which carries
// every year after them (Debian's files list transitions to 2037 only), so that offsets are the
// C library's to 2106 and beyond.
//
// The machine's zone is the one the C library uses: TZ when it is set (a zone name, ":name", an
// absolute path to a zone file, or a POSIX rule such as "EST5EDT,M3.2.0,M11.1.0"), else the
// contents of /etc/localtime, which is often a copied file in container images; /etc/timezone,
// which may name another zone there, is never read. A TZ that no file answers (a POSIX rule, or
// a name of nothing) is left to the C library itself, as are the offsets it keeps.
//
// Trap: cctz keeps every zone it loaded, by its name, for the life of the process. So
// /etc/localtime is loaded by the path it resolves to, so that re-pointing the link is seen, and
// a file that changed under the same path is loaded under another spelling of it, so that its
// new rules are too.

#include "time/zone_rules_posix.h"

#include <absl/time/time.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "time/civil_date_time.h"
#include "time/zone_rules.h"

namespace halvrenn {
namespace {

// A zone whose file cctz has read.
class FileZone final : public ZoneRules {
 public:
  explicit FileZone(absl::TimeZone zone) : zone_(zone) {}

  ZoneInterval IntervalAt(std::int64_t instant) const override {
    const absl::Time at = absl::FromUnixSeconds(instant);
    ZoneInterval interval{std::numeric_limits<std::int64_t>::min(),
                          std::numeric_limits<std::int64_t>::max(), OffsetOf(at)};
    absl::TimeZone::CivilTransition transition;
    // The last change at or before `instant`, and the first after it.
    if (zone_.PrevTransition(at + absl::Seconds(1), &transition)) {
      interval.begin = absl::ToUnixSeconds(zone_.At(transition.to).trans);
    }
    if (zone_.NextTransition(at, &transition)) {
      interval.end = absl::ToUnixSeconds(zone_.At(transition.to).trans);
    }
    return interval;
  }
  std::int32_t OffsetAt(std::int64_t instant) const override {
    return OffsetOf(absl::FromUnixSeconds(instant));
  }

 private:
  std::int32_t OffsetOf(absl::Time at) const { return zone_.At(at).offset; }
  absl::TimeZone zone_;
};

// The process's zone as the C library reads it. localtime_r tells only the offset at an instant,
// so an interval's edges are found by probing: day by day to the first change (a POSIX rule
// changes at most twice a year, never twice in a day), then by halving to the second. An
// interval is looked up about twice a year of time stamps, so the few hundred probes cost little.
class CLibraryZone final : public ZoneRules {
 public:
  ZoneInterval IntervalAt(std::int64_t instant) const override {
    const std::int32_t offset = OffsetAt(instant);
    return {Edge(instant, offset, -1), Edge(instant, offset, +1), offset};
  }
  std::int32_t OffsetAt(std::int64_t instant) const override {
    const auto time = static_cast<std::time_t>(instant);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return 0;
    return static_cast<std::int32_t>(local.tm_gmtoff);
  }

 private:
  static constexpr std::int64_t kFarthestProbe = 400;  // days

  // The first instant after the interval (direction +1), or its first instant (-1).
  std::int64_t Edge(std::int64_t instant, std::int32_t offset, int direction) const {
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

// `name` under its spelling number `spelling`: "./" that many times after its leading "/", if
// any ("/././etc/localtime", "./America/New_York"). cctz reads a zone's file again only under a
// name it has not loaded yet.
std::string SpelledAnew(std::string_view name, unsigned spelling) {
  const std::size_t root = name.starts_with('/') ? 1 : 0;
  std::string spelled(name.substr(0, root));
  for (unsigned i = 0; i < spelling; ++i) spelled += "./";
  return spelled.append(name.substr(root));
}

std::unique_ptr<ZoneRules> LoadFileZone(const std::string& name) {
  absl::TimeZone zone;
  if (!absl::LoadTimeZone(name, &zone)) return nullptr;
  return std::make_unique<FileZone>(zone);
}

// The name under which cctz is to load /etc/localtime now: the path of the file it is or
// resolves to, spelled anew ("/./etc/localtime") each time that file is seen changed; nothing
// when there is no file (the C library then keeps Greenwich).
std::optional<std::string> LocaltimeName() {
  std::array<char, PATH_MAX> resolved{};
  const std::string path =
      realpath(kLocaltimePath, resolved.data()) != nullptr ? resolved.data() : kLocaltimePath;
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  struct Seen {
    dev_t device;
    ino_t inode;
    off_t size;
    std::int64_t modified_seconds;
    long modified_nanoseconds;
    unsigned spelling;
  };
  static std::mutex mutex;
  static std::map<std::string, Seen> seen;  // by path: a link re-pointed back finds its file
  const std::lock_guard<std::mutex> lock(mutex);
  Seen now{status.st_dev,         status.st_ino,          status.st_size,
           status.st_mtim.tv_sec, status.st_mtim.tv_nsec, 0};
  const auto [known, fresh] = seen.try_emplace(path, now);
  Seen& last = known->second;
  if (!fresh && (last.device != now.device || last.inode != now.inode || last.size != now.size ||
                 last.modified_seconds != now.modified_seconds ||
                 last.modified_nanoseconds != now.modified_nanoseconds)) {
    now.spelling = last.spelling + 1;
    last = now;
  }
  return SpelledAnew(path, last.spelling);
}

}  // namespace

std::unique_ptr<ZoneRules> CLibraryZoneRules() { return std::make_unique<CLibraryZone>(); }

std::unique_ptr<ZoneRules> MachineZoneRules() {
  std::unique_ptr<ZoneRules> rules;
  if (const char* tz = std::getenv("TZ")) {
    std::string_view name(tz);
    if (name.starts_with(':')) name.remove_prefix(1);
    // An empty TZ is Greenwich for the C library, which it also answers.
    if (!name.empty()) rules = LoadFileZone(std::string(name));
  } else {
    if (const std::optional<std::string> name = LocaltimeName()) rules = LoadFileZone(*name);
  }
  if (rules) return rules;
  tzset();
  return CLibraryZoneRules();
}

std::unique_ptr<ZoneRules> NamedZoneRules(std::string_view name, std::string& error,
                                          std::string* /*substitute: the database's own rules*/) {
  // Only names of the database: a path or a rule would be read differently by the C library.
  std::unique_ptr<ZoneRules> rules;
  if (!name.empty() && !name.starts_with('/') && name.find("..") == std::string_view::npos) {
    rules = LoadFileZone(std::string(name));
  }
  if (!rules) error = "no time zone named \"" + std::string(name) + "\" in the tz database";
  return rules;
}

std::unique_ptr<ZoneRules> ZoneRulesReadAgain(std::string_view name, std::string& error) {
  // The machine's zone is spelled anew by MachineZoneRules itself when its file changed.
  if (name.empty()) return MachineZoneRules();
  static std::atomic<unsigned> readings{0};
  return NamedZoneRules(SpelledAnew(name, ++readings), error);
}

}  // namespace halvrenn
