// Moves and removals on POSIX systems. A move that must not replace is renameat2's
// RENAME_NOREPLACE, or a hard link where the file system lacks it.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cdr/files/file_moves.h"

namespace halvrenn::cdr {

std::optional<SystemError> MoveWithoutReplacing(std::string_view from, std::string_view to) {
  const std::string source(from);
  const std::string destination(to);
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
    return std::nullopt;
  }
  if (errno != EINVAL && errno != ENOSYS) return LastSystemError();
  // A file system without RENAME_NOREPLACE: a hard link fails just as well on an existing name.
  if (link(source.c_str(), destination.c_str()) != 0) return LastSystemError();
  unlink(source.c_str());
  return std::nullopt;
}

std::optional<SystemError> RemoveFile(std::string_view path) {
  if (unlink(std::string(path).c_str()) == 0 || errno == ENOENT) return std::nullopt;
  return LastSystemError();
}

}  // namespace halvrenn::cdr
