#include "byte_streams.h"

#include <algorithm>
#include <cstring>

namespace halvrenn::cdr {

std::optional<std::size_t> MemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min({size, piece_, bytes_.size()});
  std::memcpy(buffer, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace halvrenn::cdr
