#pragma once

// What a watcher asks of a file that may still be changing: its state now, whether anyone still
// writes it, whether it is a FIFO or a device, whether a link leads out of the folder. One file
// per platform (file_facts_posix.cpp, as one stat gives both; file_changes_win32.cpp), apart from
// file_facts.h so that a program that watches nothing carries none of it.
//
// Example: two looks 250 ms apart that give equal StateOf and OtherWritersOf == Writers::kNone
// say that a file's writer is done with it.

#include <cstdint>
#include <optional>
#include <string_view>

#include "cdr/files/file_facts.h"

namespace halvrenn::cdr {

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

}  // namespace halvrenn::cdr
