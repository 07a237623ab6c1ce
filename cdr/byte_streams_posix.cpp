// Files and standard streams on POSIX systems: plain descriptors, read and written in large
// pieces. A read interrupted by a signal fails rather than being retried, so that an interrupt
// (Ctrl+C, whose handler sets the cancellation flag) also ends a read that waits on a terminal.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "byte_streams.h"

namespace halvrenn::cdr {
namespace {

std::string ErrorText(int error) { return error == EINTR ? "interrupted" : std::strerror(error); }

class DescriptorSource final : public ByteSource {
 public:
  DescriptorSource(int descriptor, bool owned) : descriptor_(descriptor), owned_(owned) {
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
      size_ = static_cast<std::uint64_t>(status.st_size);
    }
  }
  DescriptorSource(const DescriptorSource&) = delete;
  DescriptorSource& operator=(const DescriptorSource&) = delete;
  ~DescriptorSource() override {
    if (owned_) close(descriptor_);
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    const ssize_t read = ::read(descriptor_, buffer, size);
    if (read < 0) {
      error_ = ErrorText(errno);
      return std::nullopt;
    }
    return static_cast<std::size_t>(read);
  }
  std::uint64_t Size() const override { return size_; }
  std::string Error() const override { return error_; }

 private:
  int descriptor_;
  bool owned_;
  std::uint64_t size_ = 0;
  std::string error_;
};

bool WriteAll(int descriptor, std::string_view bytes, std::string& error) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error = ErrorText(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

class DescriptorSink final : public ByteSink {
 public:
  explicit DescriptorSink(int descriptor) : descriptor_(descriptor) {}
  bool Write(std::string_view bytes) override { return WriteAll(descriptor_, bytes, error_); }
  std::string Error() const override { return error_; }

 private:
  int descriptor_;
  std::string error_;
};

class PosixTemporaryFile final : public TemporaryFile {
 public:
  PosixTemporaryFile(int descriptor, std::string temporary, std::string destination)
      : descriptor_(descriptor),
        temporary_(std::move(temporary)),
        destination_(std::move(destination)) {}
  PosixTemporaryFile(const PosixTemporaryFile&) = delete;
  PosixTemporaryFile& operator=(const PosixTemporaryFile&) = delete;
  ~PosixTemporaryFile() override { Discard(); }

  bool Write(std::string_view bytes) override { return WriteAll(descriptor_, bytes, error_); }
  std::string Error() const override { return error_; }

  bool Commit(bool replace) override {
    // close() reports the write errors that some file systems (NFS) hold back until then.
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) return Fail(errno);
    if (replace) {
      if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) return Fail(errno);
    } else if (renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(),
                         RENAME_NOREPLACE) != 0) {
      if (errno != EINVAL && errno != ENOSYS) return Fail(errno);
      // A file system without RENAME_NOREPLACE: a hard link fails just as well on an existing name.
      if (link(temporary_.c_str(), destination_.c_str()) != 0) return Fail(errno);
      unlink(temporary_.c_str());
    }
    committed_ = true;
    return true;
  }

 private:
  bool Fail(int error) {
    error_ = ErrorText(error);
    Discard();
    return false;
  }

  void Discard() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (!committed_) unlink(temporary_.c_str());
    committed_ = true;  // removed once
  }

  int descriptor_;
  std::string temporary_;
  std::string destination_;
  bool committed_ = false;
  std::string error_;
};

std::atomic<unsigned> temporary_counter{0};

}  // namespace

std::unique_ptr<ByteSource> OpenInputFile(std::string_view path, std::string& error) {
  const int descriptor = open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error = ErrorText(errno);
    return nullptr;
  }
  struct stat status {};
  if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(descriptor);
    error = ErrorText(EISDIR);
    return nullptr;
  }
  return std::make_unique<DescriptorSource>(descriptor, true);
}

std::unique_ptr<TemporaryFile> CreateTemporaryFile(std::string_view destination,
                                                   std::string& error) {
  // A hidden name beside the destination, on the same file system, so that the rename is atomic.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".";
    name += FileNameOf(destination);
    name += '.';
    name += std::to_string(getpid());
    name += '-';
    name += std::to_string(temporary_counter.fetch_add(1));
    name += ".tmp";
    std::string temporary = JoinPath(FolderOf(destination), name);
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      return std::make_unique<PosixTemporaryFile>(descriptor, std::move(temporary),
                                                  std::string(destination));
    }
    if (errno != EEXIST) {
      error = ErrorText(errno);
      return nullptr;
    }
  }
  error = ErrorText(EEXIST);
  return nullptr;
}

bool IsPathSeparator(char c) { return c == '/'; }
char PreferredPathSeparator() { return '/'; }

bool PathExists(std::string_view path) {
  struct stat status {};
  return lstat(std::string(path).c_str(), &status) == 0;
}

bool IsFolder(std::string_view path) {
  struct stat status {};
  return stat(std::string(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::optional<std::uint64_t> FileSizeOf(std::string_view path) {
  struct stat status {};
  if (stat(std::string(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

std::vector<std::string> RegularFilesIn(std::string_view folder) {
  std::vector<std::string> files;
  DIR* directory = opendir(std::string(folder).c_str());
  if (directory == nullptr) return files;
  while (const dirent* entry = readdir(directory)) {
    const std::string path = JoinPath(folder, entry->d_name);
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) files.push_back(path);
  }
  closedir(directory);
  return files;
}

std::unique_ptr<ByteSource> StandardInput() {
  return std::make_unique<DescriptorSource>(STDIN_FILENO, false);
}

std::unique_ptr<ByteSink> StandardOutput() {
  return std::make_unique<DescriptorSink>(STDOUT_FILENO);
}

}  // namespace halvrenn::cdr
