#pragma once

// Paths are UTF-8 text on every platform (converted to the system's form at the call), so that
// the window's program carries no std::filesystem. Windows separates folders with \ or /. The
// platform's parts: paths_posix.cpp, paths_win32.cpp.

#include <string>
#include <string_view>

namespace halvrenn::cdr {

bool IsPathSeparator(char c);
char PreferredPathSeparator();

// "a/b/calls.csv" gives "calls.csv" and "a/b"; a bare name gives itself and "".
std::string FileNameOf(std::string_view path);
std::string FolderOf(std::string_view path);
std::string JoinPath(std::string_view folder, std::string_view name);

// The path from the root, so that a report and a file manager find it whatever the current
// folder is later: on POSIX joined to the current folder ("." steps and doubled separators
// dropped, ".." kept, links not resolved), on Windows the system's full path name. A path that
// cannot be made absolute stays as it is.
std::string AbsolutePath(std::string_view path);

}  // namespace halvrenn::cdr
