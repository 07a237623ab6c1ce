#pragma once

// Where the bytes of a conversion come from and go to. One file per platform implements the
// files and the standard streams: byte_streams_posix.cpp, byte_streams_win32.cpp. Both read and
// write bytes as they are: no translation of line breaks, no encoding.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn::cdr {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `buffer`: how many (0 at the end), or nothing on an error.
  virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
  // The size when it is known beforehand (a regular file), else 0.
  virtual std::uint64_t Size() const { return 0; }
  // Who may read and write the file (POSIX permission bits), when the source is one.
  virtual std::optional<unsigned> Permissions() const { return std::nullopt; }
  virtual std::string Error() const = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // All of `bytes`, or false on an error.
  virtual bool Write(std::string_view bytes) = 0;
  virtual std::string Error() const = 0;
  // Whether the last error was a full disk (or quota), which may pass, unlike most others.
  virtual bool DiskFull() const { return false; }
};

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
  virtual bool Commit(bool replace) = 0;
};

// Whether a file name is one of the temporary names above, and the one for a number.
bool IsTemporaryName(std::string_view name);
std::string TemporaryName(std::uint32_t number);

// Removes every temporary file of this process that is not committed yet. Safe in a signal
// handler (POSIX) or a console control handler (Windows), so that a program ended by a signal
// leaves none; the files stay unusable until the process ends.
void RemoveTemporaryFilesNow() noexcept;

// Paths are UTF-8 text on every platform (converted to the system's form at the call), so that
// the window's program carries no std::filesystem. Windows separates folders with \ or /.

// Nothing, with `error` set, when the file cannot be opened.
std::unique_ptr<ByteSource> OpenInputFile(std::string_view path, std::string& error);
// The temporary file is created readable by its owner only and then given `permissions` (an
// input's, so that an output is never more readable than its input) within the process's umask;
// without them, the umask's default. Windows gives it the access rules of its folder instead.
std::unique_ptr<TemporaryFile> CreateTemporaryFile(std::string_view destination,
                                                   std::optional<unsigned> permissions,
                                                   std::string& error);
std::unique_ptr<ByteSource> StandardInput();
std::unique_ptr<ByteSink> StandardOutput();

// Bytes in memory, for the window's drop of a text and for tests.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes, std::size_t piece = SIZE_MAX)
      : bytes_(bytes), piece_(piece) {}
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override;
  std::uint64_t Size() const override { return bytes_.size(); }
  std::string Error() const override { return {}; }

 private:
  std::string_view bytes_;
  std::size_t piece_;  // at most this many bytes per read, to try every split
};

class StringSink final : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    text += bytes;
    return true;
  }
  std::string Error() const override { return {}; }
  std::string text;
};

bool IsPathSeparator(char c);
char PreferredPathSeparator();
bool PathExists(std::string_view path);
bool IsFolder(std::string_view path);
// What tells two paths of one file apart from two files: device and inode, or volume and index.
std::optional<std::string> FileIdentityOf(std::string_view path);
// The size of a regular file; nothing for anything else or when it cannot be read.
std::optional<std::uint64_t> FileSizeOf(std::string_view path);
// The regular files in a folder, not in its subfolders, as paths, in no particular order.
std::vector<std::string> RegularFilesIn(std::string_view folder);

// "a/b/calls.csv" gives "calls.csv" and "a/b"; a bare name gives itself and "".
std::string FileNameOf(std::string_view path);
std::string FolderOf(std::string_view path);
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace halvrenn::cdr
