#include "cdr/convert/block_reader.h"

#include <optional>

namespace halvrenn::cdr {

std::size_t LastLineBreakEnd(std::string_view data) {
  std::size_t line_break = data.find_last_of("\r\n");
  if (line_break != std::string_view::npos && line_break + 1 == data.size() &&
      data[line_break] == '\r') {
    line_break =
        line_break == 0 ? std::string_view::npos : data.find_last_of("\r\n", line_break - 1);
  }
  return line_break == std::string_view::npos ? 0 : line_break + 1;
}

Failure BlockReader::ReadMore(std::string& buffer, std::size_t size) {
  if (Cancelled(cancel_)) return Failure::kCancelled;
  const std::size_t old_size = buffer.size();
  buffer.resize(old_size + size);
  const Result<std::size_t> read = input_.Read(buffer.data() + old_size, size);
  buffer.resize(old_size + (read ? *read : 0));
  if (!read) {
    // A read that an interrupt broke off, with the flag that its handler set.
    if (Cancelled(cancel_)) return Failure::kCancelled;
    error_ = read.Error().text;
    return Failure::kCannotRead;
  }
  if (*read == 0) at_end_ = true;
  bytes_read_ += *read;
  return Failure::kNone;
}

Failure BlockReader::ReadBlock(std::string& buffer, std::size_t block_size) {
  const std::size_t wanted = buffer.size() + block_size;
  while (buffer.size() < wanted && !at_end_) {
    if (const Failure failure = ReadMore(buffer, wanted - buffer.size());
        failure != Failure::kNone) {
      return failure;
    }
  }
  return Failure::kNone;
}

}  // namespace halvrenn::cdr
