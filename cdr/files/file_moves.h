#pragma once

// Files moved, copied and removed, each saying why when it fails. One file per platform:
// file_moves_posix.cpp, file_moves_win32.cpp; the copy, made of the room's streams, is the same
// everywhere (file_moves.cpp).

#include <optional>
#include <string_view>

#include "cdr/files/system_error.h"

namespace halvrenn::cdr {

// Renames `from` to `to` unless `to` exists (NameTaken()); OtherVolume() where a rename cannot
// cross.
std::optional<SystemError> MoveWithoutReplacing(std::string_view from, std::string_view to);
// A copy of `from` as `to` unless `to` exists (NameTaken()), for a move to another file system:
// written under a temporary name, flushed and named into place. `from` stays.
std::optional<SystemError> CopyWithoutReplacing(std::string_view from, std::string_view to);
// A file that is already gone is removed.
std::optional<SystemError> RemoveFile(std::string_view path);

}  // namespace halvrenn::cdr
