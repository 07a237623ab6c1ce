#include "time/path_watch_posix.h"

#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <utility>

namespace halvrenn::platform {
namespace {

// Counts the forks of the process: a child shares its parent's inotify queue, and must not read
// the parent's events, so it watches afresh.
std::atomic<unsigned> fork_generation{0};
void CountFork() { fork_generation.fetch_add(1, std::memory_order_relaxed); }

std::deque<std::string> Components(std::string_view path) {
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

std::string Join(const std::string& directory, const std::string& name) {
  std::string path = directory;
  if (path != "/") path += '/';
  path += name;
  return path;
}

std::string Parent(const std::string& directory) {
  const std::size_t slash = directory.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : directory.substr(0, slash);
}

}  // namespace

PathWatch::PathWatch(std::string path) : path_(std::move(path)) {
  // Once per process: the handler only counts.
  [[maybe_unused]] static const int kForkCounted = pthread_atfork(nullptr, nullptr, CountFork);
}

PathWatch::~PathWatch() { Close(); }

bool PathWatch::Arm() {
  Close();
  descriptor_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor_ < 0) return false;
  generation_ = fork_generation.load(std::memory_order_relaxed);
  std::deque<std::string> pending = Components(path_);
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
    // Missing: the watch on its directory reports it coming back.
    if (errno == ENOENT || errno == ENOTDIR) return true;
    if (errno != EINVAL) return Fail();  // EINVAL: not a link
    if (pending.empty()) {
      constexpr std::uint32_t kFileChanges =
          IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
      return inotify_add_watch(descriptor_, path.c_str(), kFileChanges) >= 0 || Fail();
    }
    directory = path;
  }
  return Fail();  // nothing but . and .. components
}

bool PathWatch::Changed() {
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
      changed = changed || IsChange(event.wd, event.mask, event.len > 0 ? name : "");
      offset += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
}

bool PathWatch::WatchEntry(const std::string& directory, const std::string& name) {
  constexpr std::uint32_t kEntryChanges =
      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
  const int watch = inotify_add_watch(descriptor_, directory.c_str(), kEntryChanges);
  if (watch < 0) return false;
  entries_.push_back({watch, name});
  return true;
}

// A directory reports changes of all its entries; only the watched names count. The file and
// anything unexpected (an overflow, a watch dropped) always do.
bool PathWatch::IsChange(int watch, std::uint32_t mask, const char* name) const {
  if ((mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) return true;
  bool is_directory_watch = false;
  for (const Entry& entry : entries_) {
    if (entry.watch != watch) continue;
    is_directory_watch = true;
    if (entry.name == name) return true;
  }
  return !is_directory_watch;
}

bool PathWatch::Fail() {
  Close();
  return false;
}

void PathWatch::Close() {
  if (descriptor_ >= 0) close(descriptor_);
  descriptor_ = -1;
  entries_.clear();
}

}  // namespace halvrenn::platform
