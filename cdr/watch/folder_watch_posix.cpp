// A folder's changes on Linux by inotify, and the file facts the watcher needs. A writer's close
// (IN_CLOSE_WRITE) and a rename into the folder (IN_MOVED_TO) mark a file complete; creation and
// attribute changes only mark it for a look. Whether anyone still writes a file is asked of the
// kernel's leases: a read lease is granted only while no one has the file open for writing.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cdr/files/byte_streams.h"
#include "cdr/watch/folder_watch.h"
#include "cdr/watch/wake_signal.h"

namespace halvrenn::cdr {
namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

class InotifyWatch final : public WakeableFolderWatch {
 public:
  explicit InotifyWatch(std::string_view folder) : WakeableFolderWatch(folder) {}
  InotifyWatch(const InotifyWatch&) = delete;
  InotifyWatch& operator=(const InotifyWatch&) = delete;
  ~InotifyWatch() override {
    if (descriptor_ >= 0) close(descriptor_);
  }

  bool Open(std::string& error) {
    descriptor_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0 || !AddWatch()) {
      error = std::strerror(errno);
      return false;
    }
    return true;
  }

  std::vector<FolderChange> Wait(std::chrono::milliseconds timeout) override {
    std::vector<FolderChange> changes;
    // A folder removed or renamed loses its watch; it is watched again once it is back, and
    // everything in it looked at afresh.
    if (watch_ < 0) {
      if (AddWatch()) return {{FolderChange::Kind::kRescan, {}}};
      timeout = std::min(timeout, kWatchAgainEvery);
    }
    ReadEvents(changes);
    if (!changes.empty()) return changes;
    std::array<pollfd, 2> waits{
        {{descriptor_, POLLIN, 0}, {static_cast<int>(wake_.Handle()), POLLIN, 0}}};
    if (poll(waits.data(), waits.size(), WaitMilliseconds(timeout, INT_MAX)) > 0) {
      if (waits[1].revents != 0) wake_.Lower();
      ReadEvents(changes);
    }
    return changes;
  }

  bool ReportsClose() const override { return true; }
  // For files found already there whose writers the kernel will not tell (leases are for the
  // owner, or a process with CAP_LEASE).
  std::chrono::milliseconds Settle() const override { return std::chrono::milliseconds(1000); }

 private:
  bool AddWatch() {
    constexpr std::uint32_t kChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ATTRIB |
                                       IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF |
                                       IN_ONLYDIR;
    watch_ = inotify_add_watch(descriptor_, folder_.c_str(), kChanges);
    return watch_ >= 0;
  }

  void ReadEvents(std::vector<FolderChange>& changes) {
    alignas(inotify_event) std::array<char, std::size_t{64} * 1024> buffer{};
    for (;;) {
      const ssize_t length = read(descriptor_, buffer.data(), buffer.size());
      if (length <= 0) return;
      for (ssize_t offset = 0; offset < length;) {
        inotify_event event;
        std::memcpy(&event, buffer.data() + offset, sizeof event);
        const char* name = buffer.data() + offset + static_cast<ssize_t>(sizeof event);
        offset += static_cast<ssize_t>(sizeof event + event.len);
        Add(event.mask, event.len > 0 ? std::string(name) : std::string(), changes);
      }
    }
  }

  void Add(std::uint32_t mask, std::string name, std::vector<FolderChange>& changes) {
    using Kind = FolderChange::Kind;
    if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
      if (watch_ >= 0) inotify_rm_watch(descriptor_, watch_);
      watch_ = -1;
      return;
    }
    if ((mask & IN_Q_OVERFLOW) != 0) {
      changes.push_back({Kind::kRescan, {}});
    } else if ((mask & IN_ISDIR) != 0 || name.empty()) {
      // Sub-folders are not looked into.
    } else if ((mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
      changes.push_back({Kind::kWritten, std::move(name)});
    } else if ((mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
      changes.push_back({Kind::kGone, std::move(name)});
    } else {
      changes.push_back({Kind::kTouched, std::move(name)});
    }
  }

  int descriptor_ = -1;
  int watch_ = -1;
};

class LockedFolder final : public FolderClaim {
 public:
  explicit LockedFolder(int descriptor) : descriptor_(descriptor) {}
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;
  ~LockedFolder() override {
    if (descriptor_ >= 0) close(descriptor_);
  }

 private:
  int descriptor_;
};

}  // namespace

WakeSignal::WakeSignal() {
  std::array<int, 2> ends{-1, -1};
  if (pipe2(ends.data(), O_NONBLOCK | O_CLOEXEC) == 0) {
    read_ = ends[0];
    write_ = ends[1];
  }
}

WakeSignal::~WakeSignal() {
  if (read_ >= 0) close(static_cast<int>(read_));
  if (write_ >= 0) close(static_cast<int>(write_));
}

void WakeSignal::Raise() noexcept {
  const char byte = 1;
  // A full pipe is raised already.
  [[maybe_unused]] const ssize_t written = write(static_cast<int>(write_), &byte, 1);
}

bool WakeSignal::WaitFor(std::chrono::milliseconds timeout) {
  pollfd wait{static_cast<int>(read_), POLLIN, 0};
  // A signal breaks the wait off (EINTR); its handler raised this if it meant to wake it.
  poll(&wait, 1, WaitMilliseconds(timeout, INT_MAX));
  std::array<char, 64> bytes{};
  const bool raised = read(static_cast<int>(read_), bytes.data(), bytes.size()) > 0;
  Lower();
  return raised;
}

void WakeSignal::Lower() {
  std::array<char, 64> bytes{};
  while (read(static_cast<int>(read_), bytes.data(), bytes.size()) > 0) {
  }
}

std::unique_ptr<FolderWatch> WatchFolderEvents(std::string_view folder, std::string& error) {
  auto watch = std::make_unique<InotifyWatch>(folder);
  if (!watch->Open(error)) return nullptr;
  return watch;
}

std::optional<FileState> StateOf(std::string_view path) {
  struct stat status {};
  if (stat(std::string(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  FileState state;
  state.size = static_cast<std::uint64_t>(status.st_size);
  state.modified = Nanoseconds(status.st_mtim);
  state.changed = Nanoseconds(status.st_ctim);
  state.device = status.st_dev;
  state.file = status.st_ino;
  return state;
}

bool IsSpecialFile(std::string_view path) {
  struct stat status {};
  return stat(std::string(path).c_str(), &status) == 0 &&
         (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode) ||
          S_ISBLK(status.st_mode));
}

Writers OtherWritersOf(std::string_view path) {
  // Non-blocking, so that a file under another process's write lease does not hold us up.
  const int descriptor = open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return Writers::kUnknown;
  // A writer that opens the file while the lease is held breaks it, and the kernel tells the
  // holder by a signal, SIGIO unless set otherwise, which would end the program: SIGURG is
  // ignored unless handled. The lease is let go at once, so such a writer waits no longer.
  fcntl(descriptor, F_SETSIG, SIGURG);
  Writers writers = Writers::kUnknown;
  if (fcntl(descriptor, F_SETLEASE, F_RDLCK) == 0) {
    fcntl(descriptor, F_SETLEASE, F_UNLCK);
    writers = Writers::kNone;
  } else if (errno == EAGAIN || errno == EBUSY) {
    writers = Writers::kSome;
  }
  close(descriptor);
  return writers;
}

bool LinkLeadsOutOf(std::string_view path, std::string_view folder) {
  const std::string link(path);
  struct stat status {};
  if (lstat(link.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
  char* target = realpath(link.c_str(), nullptr);
  char* root = realpath(std::string(folder).c_str(), nullptr);
  const bool inside = target != nullptr && root != nullptr &&
                      std::string_view(target).starts_with(JoinPath(root, ""));
  free(target);
  free(root);
  return !inside;
}

MoveResult MoveWithoutReplacing(std::string_view from, std::string_view to, std::string& error) {
  const std::string source(from);
  const std::string destination(to);
  const auto failed = [&](int code) {
    if (code == EEXIST) return MoveResult::kExists;
    if (code == EXDEV) return MoveResult::kOtherVolume;
    error = std::strerror(code);
    return MoveResult::kFailed;
  };
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
    return MoveResult::kMoved;
  }
  if (errno != EINVAL && errno != ENOSYS) return failed(errno);
  // A file system without RENAME_NOREPLACE: a hard link fails just as well on an existing name.
  if (link(source.c_str(), destination.c_str()) != 0) return failed(errno);
  unlink(source.c_str());
  return MoveResult::kMoved;
}

bool RemoveFile(std::string_view path, std::string& error) {
  if (unlink(std::string(path).c_str()) == 0 || errno == ENOENT) return true;
  error = std::strerror(errno);
  return false;
}

std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder) {
  const int descriptor = open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0 && flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(descriptor);
    return nullptr;
  }
  return std::make_unique<LockedFolder>(descriptor);
}

}  // namespace halvrenn::cdr
