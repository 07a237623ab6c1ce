#include "cdr/files/byte_streams.h"

#include <algorithm>
#include <cstring>

namespace halvrenn::cdr {

Result<std::size_t> MemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min({size, piece_, bytes_.size()});
  std::memcpy(buffer, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

}  // namespace halvrenn::cdr
