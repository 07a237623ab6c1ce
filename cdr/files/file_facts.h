#pragma once

// What the system says of a file or a folder without changing it: whether it is there and what
// it is, which file it is, its state, its writers, a folder's entries. One file per platform:
// file_facts_posix.cpp, file_facts_win32.cpp. A fact that cannot be read is nothing: a missing
// file and one that cannot be looked at are alike to every caller.

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

// A regular file as it stands (through a link): two states differ when it was written, replaced,
// renamed or its attributes changed.
struct FileState {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // last write of the data, in the platform's ticks
  std::int64_t changed = 0;   // last change of the data or of the entry, in the same ticks
  FileIdentity identity{};
  bool hidden = false;  // by the system's own mark (Windows' hidden or system attribute)
  bool operator==(const FileState&) const = default;
};
// Nothing for a missing file, a folder or anything else that is not a regular file.
std::optional<FileState> StateOf(std::string_view path);
// Whether the path is a FIFO, a socket or a device (through a link), found without opening it:
// opening a FIFO waits for its other end. Never on Windows, whose folders hold none.
bool IsSpecialFile(std::string_view path);

enum class Writers : unsigned char { kNone, kSome, kUnknown };
// Whether another process has the file open for writing: on Linux whether the kernel grants a
// read lease (only the file's owner, or a process with CAP_LEASE, may ask; else kUnknown), on
// Windows whether it opens without sharing write access.
Writers OtherWritersOf(std::string_view path);

// Whether the path is a link (symbolic link, junction) whose target is not inside `folder`.
bool LinkLeadsOutOf(std::string_view path, std::string_view folder);

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
