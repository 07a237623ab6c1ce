#include "cdr/files/temporary_files.h"

#include <algorithm>

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

}  // namespace halvrenn::cdr
