#include "cdr/files/paths.h"

namespace halvrenn::cdr {

std::string FileNameOf(std::string_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return std::string(path.substr(start));
}

std::string FolderOf(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  // Without its last separator, unless that is the root's ("/calls.csv", "C:\calls.csv").
  const bool root = end == 1 || (end == 3 && path[1] == ':');
  return std::string(path.substr(0, root ? end : end - 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !IsPathSeparator(path.back())) path += PreferredPathSeparator();
  path += name;
  return path;
}

}  // namespace halvrenn::cdr
