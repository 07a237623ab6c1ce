// Paths on POSIX systems: one separator, and the current folder from getcwd.

#include <unistd.h>

#include <cerrno>

#include "cdr/files/paths.h"

namespace halvrenn::cdr {

bool IsPathSeparator(char c) { return c == '/'; }
char PreferredPathSeparator() { return '/'; }

std::string AbsolutePath(std::string_view path) {
  std::string joined;
  if (!path.starts_with('/')) {
    std::string current(256, '\0');
    while (getcwd(current.data(), current.size()) == nullptr) {
      if (errno != ERANGE) return std::string(path);
      current.resize(current.size() * 2);
    }
    joined = current.c_str();
    joined += '/';
  }
  joined += path;
  // "." steps and doubled separators go; ".." stays, which only the system resolves rightly
  // where links are involved.
  std::string clean;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string_view step = std::string_view(joined).substr(start, end - start);
    if (!step.empty() && step != ".") {
      clean += '/';
      clean += step;
    }
    start = end + 1;
  }
  return clean.empty() ? "/" : clean;
}

}  // namespace halvrenn::cdr
