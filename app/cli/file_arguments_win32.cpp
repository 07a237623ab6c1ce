// Wildcards on Windows: cmd.exe passes "*.csv" as it is, and each program expands it, here with
// FindFirstFileExW, which also matches a long name by its short 8.3 alias, as cmd.exe's own
// commands do.

#include <windows.h>

#include <algorithm>

#include "cdr/files/long_paths_win32.h"
#include "cdr/files/paths.h"
#include "file_arguments.h"
#include "time/utf16_text.h"

namespace halvrenn::cli {

std::vector<std::string> WildcardMatches(const std::string& pattern) {
  const std::string name = cdr::FileNameOf(pattern);
  if (name.find_first_of("*?") == std::string::npos) return {pattern};
  // The folder part as written: "data\*.csv" and "data/*.csv" keep their separator.
  const std::string folder = pattern.substr(0, pattern.size() - name.size());
  std::vector<std::string> matches;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(cdr::SystemPath(pattern).c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return matches;
  do {
    const std::wstring_view match = found.cFileName;
    if (match == L"." || match == L".." ||
        (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
      continue;
    }
    matches.push_back(folder + Utf8FromUtf16(match));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(matches.begin(), matches.end());
  return matches;
}

}  // namespace halvrenn::cli
