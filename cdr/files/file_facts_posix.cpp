// Facts of files and folders on POSIX systems, from stat, and of files that may still change
// (file_changes.h), as one stat gives both. Whether anyone still writes a file is
// asked of the kernel's leases: a read lease is granted only while no one has the file open for
// writing.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "cdr/files/file_changes.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/paths.h"

namespace halvrenn::cdr {
namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileIdentity IdentityIn(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

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

std::optional<FileIdentity> FileIdentityOf(std::string_view path) {
  struct stat status {};
  if (stat(std::string(path).c_str(), &status) != 0) return std::nullopt;
  return IdentityIn(status);
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
  state.identity = IdentityIn(status);
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

// A link to a file counts as the file, a link to a folder as a link; hidden files are those
// whose names start with a dot, which the callers see.
Result<std::vector<FolderEntry>> EntriesOf(std::string_view folder) {
  DIR* directory = opendir(std::string(folder).c_str());
  if (directory == nullptr) return LastSystemError();
  std::vector<FolderEntry> entries;
  while (const dirent* found = readdir(directory)) {
    const std::string_view name = found->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry entry{std::string(name)};
    const std::string path = JoinPath(folder, name);
    struct stat own {};
    struct stat target {};
    if (lstat(path.c_str(), &own) == 0) {
      const bool link = S_ISLNK(own.st_mode);
      const bool reached = !link || stat(path.c_str(), &target) == 0;
      const mode_t mode = link ? target.st_mode : own.st_mode;
      if (reached && S_ISREG(mode)) {
        entry.kind = FolderEntry::Kind::kFile;
      } else if (reached && S_ISDIR(mode)) {
        entry.kind = link ? FolderEntry::Kind::kFolderLink : FolderEntry::Kind::kFolder;
      }
    }
    entries.push_back(std::move(entry));
  }
  closedir(directory);
  return entries;
}

}  // namespace halvrenn::cdr
