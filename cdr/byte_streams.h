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
  virtual std::string Error() const = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // All of `bytes`, or false on an error.
  virtual bool Write(std::string_view bytes) = 0;
  virtual std::string Error() const = 0;
};

// A file written under a temporary name in the folder of its destination, and renamed into place
// only by Commit. Destroyed without a successful Commit, it removes the temporary file.
class TemporaryFile : public ByteSink {
 public:
  // Closes the file and renames it to the destination; with `replace` false an existing
  // destination is kept and Commit fails. On failure the temporary file is removed.
  virtual bool Commit(bool replace) = 0;
};

// Paths are UTF-8 text on every platform (converted to the system's form at the call), so that
// the window's program carries no std::filesystem. Windows separates folders with \ or /.

// Nothing, with `error` set, when the file cannot be opened.
std::unique_ptr<ByteSource> OpenInputFile(std::string_view path, std::string& error);
std::unique_ptr<TemporaryFile> CreateTemporaryFile(std::string_view destination,
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
// The size of a regular file; nothing for anything else or when it cannot be read.
std::optional<std::uint64_t> FileSizeOf(std::string_view path);
// The regular files in a folder, not in its subfolders, as paths, in no particular order.
std::vector<std::string> RegularFilesIn(std::string_view folder);

// "a/b/calls.csv" gives "calls.csv" and "a/b"; a bare name gives itself and "".
std::string FileNameOf(std::string_view path);
std::string FolderOf(std::string_view path);
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace halvrenn::cdr
