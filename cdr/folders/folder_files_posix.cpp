// A folder's entries on POSIX systems: a link to a file counts as the file, a link to a folder
// as a link; hidden files are those whose names start with a dot, which the shared code sees.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "cdr/files/byte_streams.h"
#include "cdr/folders/folder_files.h"

namespace halvrenn::cdr {

std::optional<std::vector<FolderEntry>> EntriesOf(std::string_view folder) {
  DIR* directory = opendir(std::string(folder).c_str());
  if (directory == nullptr) return std::nullopt;
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
