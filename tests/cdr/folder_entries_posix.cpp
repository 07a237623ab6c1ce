#include <sys/stat.h>

#include "folder_entries.h"

namespace halvrenn::testing {

bool MakeHiddenFile(const std::filesystem::path& /*path: no such marks here*/) { return false; }

bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& folder) {
  std::filesystem::create_directory_symlink(folder, link);
  return true;
}

bool MakeFifo(const std::filesystem::path& path) { return mkfifo(path.c_str(), 0600) == 0; }

}  // namespace halvrenn::testing
