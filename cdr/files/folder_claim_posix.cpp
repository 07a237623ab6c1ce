// A folder's claim on POSIX systems: an exclusive flock on the folder itself, which the system
// lets go with the process's last descriptor.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "cdr/files/folder_claim.h"

namespace halvrenn::cdr {
namespace {

class LockedFolder final : public FolderClaim {
 public:
  explicit LockedFolder(int descriptor) : descriptor_(descriptor) {}
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;
  ~LockedFolder() override {
    if (descriptor_ >= 0) close(descriptor_);
  }

 private:
  int descriptor_;
};

}  // namespace

std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder) {
  const int descriptor = open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0 && flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(descriptor);
    return nullptr;
  }
  return std::make_unique<LockedFolder>(descriptor);
}

}  // namespace halvrenn::cdr
