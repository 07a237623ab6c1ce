#include "folder_files.h"

#include <algorithm>
#include <array>

#include "byte_streams.h"
#include "conversion.h"

namespace halvrenn::cdr {
namespace {

// Files the systems leave in folders, hidden or not (a folder copied from a memory stick or
// unpacked from a zip loses the attributes): Windows' folder settings and thumbnail caches,
// macOS's folder settings.
bool IsSystemFileName(std::string_view name) {
  constexpr std::array<std::string_view, 4> kNames = {"desktop.ini", "thumbs.db", "ehthumbs.db",
                                                      "icon\r"};
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return std::find(kNames.begin(), kNames.end(), lower) != kNames.end();
}

bool IsHidden(const FolderEntry& entry) {
  return entry.hidden || entry.name.starts_with('.') || IsSystemFileName(entry.name);
}

void AddFolder(const std::string& folder, int level, int deepest_level, FolderFiles& found) {
  std::optional<std::vector<FolderEntry>> entries = EntriesOf(folder);
  if (!entries) {
    found.skipped.push_back({folder, SkipReason::kUnreadable});
    return;
  }
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  std::vector<std::string> folders;
  for (const FolderEntry& entry : *entries) {
    std::string path = JoinPath(folder, entry.name);
    const auto skip = [&](SkipReason reason) { found.skipped.push_back({path, reason}); };
    // Temporary names start with a dot, so they count as outputs before they count as hidden.
    if (entry.kind == FolderEntry::Kind::kFile &&
        (IsOutputName(entry.name) || IsTemporaryName(entry.name))) {
      skip(SkipReason::kOutput);
    } else if (IsHidden(entry)) {
      skip(SkipReason::kHidden);
    } else if (entry.kind == FolderEntry::Kind::kFile) {
      found.files.push_back(std::move(path));
    } else if (entry.kind == FolderEntry::Kind::kFolderLink) {
      skip(SkipReason::kLink);
    } else if (entry.kind == FolderEntry::Kind::kOther) {
      skip(SkipReason::kNotAFile);
    } else if (level >= deepest_level) {
      skip(SkipReason::kTooDeep);
    } else {
      folders.push_back(std::move(path));
    }
  }
  for (const std::string& inner : folders) AddFolder(inner, level + 1, deepest_level, found);
}

}  // namespace

FolderFiles FilesOfFolder(std::string_view folder, int deepest_level) {
  FolderFiles found;
  AddFolder(std::string(folder), 0, deepest_level, found);
  return found;
}

}  // namespace halvrenn::cdr
