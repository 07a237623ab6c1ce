// Paths on Windows: either separator, and the system's full path name.

#include "cdr/files/long_paths_win32.h"
#include "cdr/files/paths.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
char PreferredPathSeparator() { return '\\'; }

std::string AbsolutePath(std::string_view path) {
  const std::optional<std::wstring> full = FullPathName(Utf16FromUtf8(path));
  return full ? Utf8FromUtf16(*full) : std::string(path);
}

}  // namespace halvrenn::cdr
