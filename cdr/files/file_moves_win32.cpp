// Moves and removals on Windows: MoveFileExW without MOVEFILE_REPLACE_EXISTING keeps an existing
// destination.

#include <windows.h>

#include "cdr/files/file_moves.h"
#include "cdr/files/long_paths_win32.h"

namespace halvrenn::cdr {

std::optional<SystemError> MoveWithoutReplacing(std::string_view from, std::string_view to) {
  if (MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), 0)) return std::nullopt;
  return LastSystemError();
}

std::optional<SystemError> RemoveFile(std::string_view path) {
  if (DeleteFileW(SystemPath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
    return std::nullopt;
  }
  return LastSystemError();
}

}  // namespace halvrenn::cdr
