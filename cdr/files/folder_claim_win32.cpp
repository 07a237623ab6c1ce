// A folder's claim on Windows: a named mutex, which the system closes with the process.

#include <windows.h>

#include <optional>
#include <string>

#include "cdr/files/file_facts.h"
#include "cdr/files/folder_claim.h"

namespace halvrenn::cdr {
namespace {

class NamedClaim final : public FolderClaim {
 public:
  explicit NamedClaim(HANDLE mutex) : mutex_(mutex) {}
  NamedClaim(const NamedClaim&) = delete;
  NamedClaim& operator=(const NamedClaim&) = delete;
  ~NamedClaim() override {
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

// A named mutex per folder, by its volume and file index: in the Global namespace where the
// account may make one (services, administrators), else in the session's.
std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder) {
  const std::optional<FileIdentity> identity = FileIdentityOf(folder);
  if (!identity) return std::make_unique<NamedClaim>(nullptr);
  const std::wstring name = L"halvrenn-cdr-watch-" + std::to_wstring(identity->device) + L"-" +
                            std::to_wstring(identity->file >> 32) + L"-" +
                            std::to_wstring(identity->file & 0xFFFFFFFFU);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (mutex == nullptr) mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<NamedClaim>(mutex);
}

}  // namespace halvrenn::cdr
