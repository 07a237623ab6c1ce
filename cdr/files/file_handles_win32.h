#pragma once

// The handle through which the facts of a file are read on Windows, and the identity it gives:
// shared by file_facts_win32.cpp and file_changes_win32.cpp.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "cdr/files/file_facts.h"
#include "cdr/files/long_paths_win32.h"

namespace halvrenn::cdr {

// A handle that reads a file's attributes and nothing else, so that no writer is disturbed.
inline HANDLE OpenForAttributes(std::string_view path) {
  return CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

inline FileIdentity IdentityIn(const BY_HANDLE_FILE_INFORMATION& information) {
  return {information.dwVolumeSerialNumber,
          (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

}  // namespace halvrenn::cdr
