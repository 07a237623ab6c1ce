#pragma once

// The files that outputs are written to before they are named into place, and their clean-up.
// Created by byte_streams_posix.cpp and byte_streams_win32.cpp, which write them as they write
// any file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cdr/files/byte_streams.h"
#include "cdr/files/system_error.h"

namespace halvrenn::cdr {

// A file written in the folder of its destination, and named into place only by Commit: without
// a name until then where the system allows it (O_TMPFILE on Linux), or marked for deletion until
// then (Windows), so that even a killed process leaves nothing; else under a temporary name.
// Destroyed without a successful Commit, it removes the temporary file. The name is short and
// fixed in length (".halvrenn-0123abcd.tmp"), so that any destination name the file system takes
// has room for it.
class TemporaryFile : public ByteSink {
 public:
  // Flushes the file to the disk, closes it and renames it to the destination, and flushes the
  // folder, so that after a power cut the destination is whole or absent; with `replace` false
  // an existing destination is kept and Commit fails. On failure the temporary file is removed.
  virtual std::optional<SystemError> Commit(bool replace) = 0;
};

// The temporary file is created readable by its owner only and then given `permissions` (an
// input's, so that an output is never more readable than its input) within the process's umask;
// without them, the umask's default. Windows gives it the access rules of its folder instead.
Result<std::unique_ptr<TemporaryFile>> CreateTemporaryFile(std::string_view destination,
                                                           std::optional<unsigned> permissions);

// Whether a file name is one of the temporary names above, and the one for a number.
bool IsTemporaryName(std::string_view name);
std::string TemporaryName(std::uint32_t number);

// Removes every temporary file of this process that is not committed yet. Safe in a signal
// handler (POSIX) or a console control handler (Windows), so that a program ended by a signal
// leaves none; the files stay unusable until the process ends.
void RemoveTemporaryFilesNow() noexcept;

}  // namespace halvrenn::cdr
