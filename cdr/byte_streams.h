#pragma once

// Where the bytes of a conversion come from and go to. One file per platform implements the
// files and the standard streams: byte_streams_posix.cpp, byte_streams_win32.cpp. Both read and
// write bytes as they are: no translation of line breaks, no encoding.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  virtual std::filesystem::path TemporaryPath() const = 0;
};

// Nothing, with `error` set, when the file cannot be opened.
std::unique_ptr<ByteSource> OpenInputFile(const std::filesystem::path& path, std::string& error);
std::unique_ptr<TemporaryFile> CreateTemporaryFile(const std::filesystem::path& destination,
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

// Paths as UTF-8 text, on every platform.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace halvrenn::cdr
