#include <windows.h>

#include <fstream>

#include "folder_entries.h"

namespace halvrenn::testing {

bool MakeHiddenFile(const std::filesystem::path& path) {
  std::ofstream(path) << "id,dateTimeConnect\n1,1700000000\n";
  return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) != 0;
}

// Symbolic links need a privilege that a test run does not have.
bool MakeFolderLink(const std::filesystem::path& /*link*/,
                    const std::filesystem::path& /*folder*/) {
  return false;
}

bool MakeFifo(const std::filesystem::path& /*path: Windows has no FIFOs*/) { return false; }

}  // namespace halvrenn::testing
