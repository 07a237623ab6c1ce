#pragma once

// Paths over MAX_PATH on Windows. The programs declare themselves long-path aware in their
// manifests, but that takes effect only where the machine's LongPathsEnabled policy is on; a
// path in the \\?\ form works everywhere. It must be absolute, with backslashes and no "." or
// ".." steps, which the system's full path name gives.
//
// Example: a 300-character "D:\cdr\...\calls.csv" gives "\\?\D:\cdr\...\calls.csv",
// "\\server\share\...\calls.csv" gives "\\?\UNC\server\share\...\calls.csv", and "calls.csv"
// stays "calls.csv".

#include <optional>
#include <string>
#include <string_view>

namespace halvrenn::cdr {

// A UTF-8 path as the file functions of the Windows API take it: unchanged while it is short
// enough for every one of them (a folder's path must leave room for an 8.3 name, 12
// characters), else absolute in the \\?\ form.
std::wstring SystemPath(std::string_view path);

// The system's full path name of `path` (GetFullPathNameW): absolute, with backslashes and no
// "." or ".." steps; nothing when the system gives none.
std::optional<std::wstring> FullPathName(const std::wstring& path);

}  // namespace halvrenn::cdr
