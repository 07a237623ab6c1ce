#pragma once

// Where the bytes of a conversion come from and go to. One file per platform implements the
// files and the standard streams: byte_streams_posix.cpp, byte_streams_win32.cpp. Both read and
// write bytes as they are: no translation of line breaks, no encoding. Paths are as paths.h
// says.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cdr/files/system_error.h"

namespace halvrenn::cdr {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `buffer`: how many (0 at the end), or why none.
  virtual Result<std::size_t> Read(char* buffer, std::size_t size) = 0;
  // The size when it is known beforehand (a regular file), else 0.
  virtual std::uint64_t Size() const { return 0; }
  // Who may read and write the file (POSIX permission bits), when the source is one.
  virtual std::optional<unsigned> Permissions() const { return std::nullopt; }
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // All of `bytes`: nothing, or why not.
  virtual std::optional<SystemError> Write(std::string_view bytes) = 0;
};

Result<std::unique_ptr<ByteSource>> OpenInputFile(std::string_view path);
std::unique_ptr<ByteSource> StandardInput();
std::unique_ptr<ByteSink> StandardOutput();

// Bytes in memory, for the window's drop of a text and for tests.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes, std::size_t piece = SIZE_MAX)
      : bytes_(bytes), piece_(piece) {}
  Result<std::size_t> Read(char* buffer, std::size_t size) override;
  std::uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t piece_;  // at most this many bytes per read, to try every split
};

class StringSink final : public ByteSink {
 public:
  std::optional<SystemError> Write(std::string_view bytes) override {
    text += bytes;
    return std::nullopt;
  }
  std::string text;
};

}  // namespace halvrenn::cdr
