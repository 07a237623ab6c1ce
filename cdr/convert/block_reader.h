#pragma once

// The reading side of a stream's conversion: reads that append to a buffer, blocks that a pipe
// fills as a file does, and the cut that ends a block at its last line break.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr/files/byte_streams.h"

namespace halvrenn::cdr {

inline bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The offset just past the last line break of `data` (LF, CRLF or a lone CR), 0 when there is
// none. A CR that ends the data is left for the next block, where an LF may complete its CRLF:
// so a cut never splits one, whatever the size of the blocks.
std::size_t LastLineBreakEnd(std::string_view data);

class BlockReader {
 public:
  BlockReader(ByteSource& input, const std::atomic<bool>* cancel)
      : input_(input), cancel_(cancel) {}

  // Appends what one read gives, up to `size` bytes, to `buffer`. Failure::kNone, or
  // kCancelled, or kCannotRead (Error() tells why). Sets AtEnd() at the end of the input.
  Failure ReadMore(std::string& buffer, std::size_t size);
  // Appends `block_size` bytes to `buffer`, fewer only at the end of the input, so that a pipe,
  // which gives 64 KiB a read, fills a block as a file does.
  Failure ReadBlock(std::string& buffer, std::size_t block_size);

  bool AtEnd() const { return at_end_; }
  std::uint64_t BytesRead() const { return bytes_read_; }
  std::uint64_t Size() const { return input_.Size(); }
  // The system's words for the last kCannotRead.
  const std::string& Error() const { return error_; }

 private:
  ByteSource& input_;
  const std::atomic<bool>* cancel_;
  bool at_end_ = false;
  std::uint64_t bytes_read_ = 0;
  std::string error_;
};

}  // namespace halvrenn::cdr
