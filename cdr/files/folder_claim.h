#pragma once

// Held while a watcher converts into a folder, so that a second watcher of the same folder, which
// would remove the first one's temporary files, refuses to start. Released when the process ends
// however it ends. One file per platform: folder_claim_posix.cpp, folder_claim_win32.cpp.

#include <memory>
#include <string_view>

namespace halvrenn::cdr {

class FolderClaim {
 public:
  virtual ~FolderClaim() = default;
};
// Nothing when another process holds the folder; a claim that holds nothing where the system
// cannot tell (a network file system without locks).
std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder);

}  // namespace halvrenn::cdr
