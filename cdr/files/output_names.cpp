#include "cdr/files/output_names.h"

#include <algorithm>
#include <utility>

#include "cdr/files/paths.h"

namespace halvrenn::cdr {
namespace {

constexpr std::string_view kConverted = ".converted";

// The stem and extension as std::filesystem reads them: the extension from the last dot, unless
// that starts the name.
std::pair<std::string_view, std::string_view> SplitExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {name, {}};
  return {name.substr(0, dot), name.substr(dot)};
}

bool IsShortExtension(std::string_view extension) {
  return extension.size() >= 2 && extension.size() <= 6 &&
         std::all_of(extension.begin() + 1, extension.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

}  // namespace

std::string OutputPathFor(std::string_view input,
                          const std::optional<std::string>& output_directory) {
  const std::string name = FileNameOf(input);
  const auto [stem, extension] = SplitExtension(name);
  const std::string converted =
      IsShortExtension(extension)
          ? std::string(stem) + std::string(kConverted) + std::string(extension)
          : name + std::string(kConverted) + ".csv";
  return JoinPath(output_directory ? *output_directory : FolderOf(input), converted);
}

bool IsOutputName(std::string_view name) {
  const auto [stem, extension] = SplitExtension(name);
  return IsShortExtension(extension) && stem.size() > kConverted.size() &&
         stem.ends_with(kConverted);
}

}  // namespace halvrenn::cdr
