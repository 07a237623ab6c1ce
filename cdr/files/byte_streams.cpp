#include "cdr/files/byte_streams.h"

#include <algorithm>
#include <cstring>

namespace halvrenn::cdr {
namespace {

constexpr std::string_view kTemporaryPrefix = ".halvrenn-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;

}  // namespace

std::string TemporaryName(std::uint32_t number) {
  std::string name(kTemporaryPrefix);
  for (int shift = 28; shift >= 0; shift -= 4) name += "0123456789abcdef"[(number >> shift) & 15];
  return name += kTemporarySuffix;
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
      !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  const std::string_view digits = name.substr(kTemporaryPrefix.size(), kTemporaryDigits);
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<std::size_t> MemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min({size, piece_, bytes_.size()});
  std::memcpy(buffer, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

std::string FileNameOf(std::string_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return std::string(path.substr(start));
}

std::string FolderOf(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  // Without its last separator, unless that is the root's ("/calls.csv", "C:\calls.csv").
  const bool root = end == 1 || (end == 3 && path[1] == ':');
  return std::string(path.substr(0, root ? end : end - 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !IsPathSeparator(path.back())) path += PreferredPathSeparator();
  path += name;
  return path;
}

}  // namespace halvrenn::cdr
