#pragma once

// What the system says of a file or a folder without changing it: whether it is there and what
// it is, which file it is, a folder's entries (a file that may still change: file_changes.h). One
// file per platform: file_facts_posix.cpp, file_facts_win32.cpp. A fact that cannot be read is
// nothing: a missing file and one that cannot be looked at are alike to every caller.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/files/system_error.h"

namespace halvrenn::cdr {

bool PathExists(std::string_view path);
bool IsFolder(std::string_view path);
// The size of a regular file; nothing for anything else or when it cannot be read.
std::optional<std::uint64_t> FileSizeOf(std::string_view path);

// What tells two paths of one file apart from two files: device and inode, or volume and index.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> FileIdentityOf(std::string_view path);

// One entry of a folder as the platform reports it, without following links.
struct FolderEntry {
  enum class Kind : unsigned char { kFile, kFolder, kFolderLink, kOther };
  std::string name;
  Kind kind = Kind::kOther;
  bool hidden = false;  // by the system's own mark (the hidden or system attribute)
};

// The entries of a folder but "." and "..", in no particular order, or why it cannot be listed.
Result<std::vector<FolderEntry>> EntriesOf(std::string_view folder);

}  // namespace halvrenn::cdr
