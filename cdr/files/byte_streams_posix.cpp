// Files, temporary files and standard streams on POSIX systems: plain descriptors, read and
// written in large pieces. A read interrupted by a signal fails rather than being retried, so that
// an interrupt (Ctrl+C, whose handler sets the cancellation flag) also ends a read that waits on a
// terminal.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "cdr/files/byte_streams.h"
#include "cdr/files/file_moves.h"
#include "cdr/files/paths.h"
#include "cdr/files/temporary_files.h"
#include "cdr/files/uncommitted_files.h"

namespace halvrenn::cdr {
namespace {

// A pipe holds 64 KiB by default: a conversion reading or writing one would wake for every
// 64 KiB, and its writer or reader with it. Grown to a megabyte (Linux's limit for any user),
// it moves a conversion's block at a time, and piped input goes as fast as a file.
void GrowPipe(int descriptor, const struct stat& status) {
#ifdef F_SETPIPE_SZ
  if (S_ISFIFO(status.st_mode)) {
    constexpr int kBlock = 1 << 20;
    // Never smaller than the other end made it; where refused, the pipe stays as it was.
    if (fcntl(descriptor, F_GETPIPE_SZ) < kBlock) fcntl(descriptor, F_SETPIPE_SZ, kBlock);
  }
#else
  (void)descriptor;
  (void)status;
#endif
}

class DescriptorSource final : public ByteSource {
 public:
  DescriptorSource(int descriptor, bool owned) : descriptor_(descriptor), owned_(owned) {
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
      size_ = static_cast<std::uint64_t>(status.st_size);
      permissions_ = status.st_mode & 0777U;
    }
    GrowPipe(descriptor, status);  // a failed fstat leaves no FIFO's mode
  }
  DescriptorSource(const DescriptorSource&) = delete;
  DescriptorSource& operator=(const DescriptorSource&) = delete;
  ~DescriptorSource() override {
    if (owned_) close(descriptor_);
  }

  Result<std::size_t> Read(char* buffer, std::size_t size) override {
    const ssize_t read = ::read(descriptor_, buffer, size);
    if (read < 0) return LastSystemError();
    return static_cast<std::size_t>(read);
  }
  std::uint64_t Size() const override { return size_; }
  std::optional<unsigned> Permissions() const override { return permissions_; }

 private:
  int descriptor_;
  bool owned_;
  std::uint64_t size_ = 0;
  std::optional<unsigned> permissions_;
};

std::optional<SystemError> WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastSystemError();
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

class DescriptorSink final : public ByteSink {
 public:
  explicit DescriptorSink(int descriptor) : descriptor_(descriptor) {
    struct stat status {};
    if (fstat(descriptor, &status) == 0) GrowPipe(descriptor, status);
  }
  std::optional<SystemError> Write(std::string_view bytes) override {
    return WriteAll(descriptor_, bytes);
  }

 private:
  int descriptor_;
};

UncommittedFiles<char> uncommitted;

// The process's umask, read without changing it where /proc tells it (umask() sets it to read
// it, which another thread creating a file at that moment would see).
mode_t ProcessUmask() {
  static const mode_t kMask = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("Umask:")) {
        return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
      }
    }
    const mode_t read = umask(022);
    umask(read);
    return read;
  }();
  return kMask;
}

// A hidden name beside `destination`, on the same file system, so that a rename is atomic.
std::string NextTemporaryPath(std::string_view destination) {
  static std::atomic<std::uint32_t> counter{static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ (getpid() << 16))};
  // A multiplier that is odd and large spreads the names of one process's files apart.
  return JoinPath(FolderOf(destination), TemporaryName(counter.fetch_add(1) * 2654435761U));
}

// An unnamed file (O_TMPFILE) is named at the commit by linking /proc/self/fd/N; without /proc
// that link would fail after the whole file is written, so /proc decides before it is created.
bool UnnamedFilesLinkable() {
  static const bool kLinkable = access("/proc/self/fd", X_OK) == 0;
  return kLinkable;
}

// A temporary file is either named from its creation (entered in `uncommitted`, so that a
// signal removes it), or unnamed until its commit, so that even a kill -9 leaves nothing: the
// system frees an unnamed file with its last descriptor.
class PosixTemporaryFile final : public TemporaryFile {
 public:
  // `temporary` empty: `descriptor` is an unnamed file.
  PosixTemporaryFile(int descriptor, std::string temporary, std::string destination)
      : descriptor_(descriptor),
        temporary_(std::move(temporary)),
        destination_(std::move(destination)) {
    if (!temporary_.empty()) uncommitted.Enter(temporary_.c_str());
  }
  PosixTemporaryFile(const PosixTemporaryFile&) = delete;
  PosixTemporaryFile& operator=(const PosixTemporaryFile&) = delete;
  ~PosixTemporaryFile() override { Discard(); }

  std::optional<SystemError> Write(std::string_view bytes) override {
    return WriteAll(descriptor_, bytes);
  }

  std::optional<SystemError> Commit(bool replace) override {
    // fsync() first, so that the rename never lands before the bytes; close() also reports the
    // write errors that some file systems (NFS) hold back until then.
    if (fsync(descriptor_) != 0 && errno != EINVAL) return Fail(LastSystemError());
    if (temporary_.empty()) {
      const std::string linked = "/proc/self/fd/" + std::to_string(descriptor_);
      // A link never replaces a name: straight to the destination it is the commit that keeps
      // an existing one; to replace, it names the file beside it for the rename below.
      std::string name = replace ? NextTemporaryPath(destination_) : destination_;
      if (linkat(AT_FDCWD, linked.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return Fail(LastSystemError());
      }
      if (!replace) return CloseLinked();
      temporary_ = std::move(name);
      uncommitted.Enter(temporary_.c_str());
    }
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) return Fail(LastSystemError());
    if (replace) {
      if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        return Fail(LastSystemError());
      }
    } else if (std::optional<SystemError> failed = MoveWithoutReplacing(temporary_, destination_)) {
      return Fail(std::move(*failed));
    }
    committed_ = true;
    uncommitted.Leave(temporary_.c_str());
    FlushFolder();
    return std::nullopt;
  }

 private:
  // The unnamed file linked to the destination: closed, and the name taken back if the close
  // reports a write error held back until then.
  std::optional<SystemError> CloseLinked() {
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) {
      SystemError error = LastSystemError();
      unlink(destination_.c_str());
      return Fail(std::move(error));
    }
    committed_ = true;
    FlushFolder();
    return std::nullopt;
  }

  std::optional<SystemError> Fail(SystemError error) {
    Discard();
    return error;
  }

  void Discard() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (!committed_ && !temporary_.empty()) {
      unlink(temporary_.c_str());
      uncommitted.Leave(temporary_.c_str());
    }
    committed_ = true;  // removed once
  }

  // The rename is in the folder's own data: flushed too, or a power cut may undo it. The output
  // is already in place, so a folder that cannot be flushed fails nothing.
  void FlushFolder() const {
    const std::string folder = FolderOf(destination_);
    const int descriptor =
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    fsync(descriptor);
    close(descriptor);
  }

  int descriptor_;
  std::string temporary_;
  std::string destination_;
  bool committed_ = false;
};

}  // namespace

Result<std::unique_ptr<ByteSource>> OpenInputFile(std::string_view path) {
  const int descriptor = open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return LastSystemError();
  struct stat status {};
  if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(descriptor);
    return SystemErrorOf(EISDIR);
  }
  return std::make_unique<DescriptorSource>(descriptor, true);
}

Result<std::unique_ptr<TemporaryFile>> CreateTemporaryFile(std::string_view destination,
                                                           std::optional<unsigned> permissions) {
  const mode_t mode = (permissions ? *permissions & 0777U : 0666U) & ~ProcessUmask();
  if (UnnamedFilesLinkable()) {
    // No O_EXCL: that would forbid the link. A file system that refuses unnamed files (NFS,
    // CIFS, some FUSE) fails here, and the named file below serves instead.
    const std::string folder = FolderOf(destination);
    const int descriptor =
        open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
      if (fchmod(descriptor, mode) != 0) {
        SystemError error = LastSystemError();
        close(descriptor);
        return error;
      }
      return std::make_unique<PosixTemporaryFile>(descriptor, std::string(),
                                                  std::string(destination));
    }
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporary = NextTemporaryPath(destination);
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
      // Widened to the input's permissions only now, so that no one else may open it before.
      if (fchmod(descriptor, mode) != 0) {
        SystemError error = LastSystemError();
        close(descriptor);
        unlink(temporary.c_str());
        return error;
      }
      return std::make_unique<PosixTemporaryFile>(descriptor, std::move(temporary),
                                                  std::string(destination));
    }
    SystemError error = LastSystemError();
    if (!error.NameTaken()) return error;
  }
  return NameTakenError();
}

void RemoveTemporaryFilesNow() noexcept {
  uncommitted.ForEach([](const char* path) { unlink(path); });
}

std::unique_ptr<ByteSource> StandardInput() {
  return std::make_unique<DescriptorSource>(STDIN_FILENO, false);
}

std::unique_ptr<ByteSink> StandardOutput() {
  return std::make_unique<DescriptorSink>(STDOUT_FILENO);
}

}  // namespace halvrenn::cdr
