#include "cdr/folders/folder_files.h"

#include <algorithm>
#include <array>

#include "cdr/files/file_facts.h"
#include "cdr/files/output_names.h"
#include "cdr/files/paths.h"
#include "cdr/files/temporary_files.h"
#include "time/ascii_text.h"

namespace halvrenn::cdr {
namespace {

// Files the systems leave in folders, hidden or not (a folder copied from a memory stick or
// unpacked from a zip loses the attributes): Windows' folder settings and thumbnail caches,
// macOS's folder settings.
bool IsSystemFileName(std::string_view lower) {
  constexpr std::array<std::string_view, 4> kNames = {"desktop.ini", "thumbs.db", "ehthumbs.db",
                                                      "icon\r"};
  return std::find(kNames.begin(), kNames.end(), lower) != kNames.end();
}

// Uploads in progress by WinSCP, browsers' downloads and download tools, and the lock files of
// office programs (~$calls.csv), all of them renamed or removed when done.
bool IsTemporaryFileName(std::string_view lower) {
  constexpr std::array<std::string_view, 4> kEndings = {".part", ".filepart", ".tmp",
                                                        ".crdownload"};
  return lower.starts_with("~$") ||
         std::any_of(kEndings.begin(), kEndings.end(),
                     [&](std::string_view ending) { return lower.ends_with(ending); });
}

// By the order of SkipReason: one, many.
constexpr std::array<std::array<std::string_view, 2>, 7> kSkipWords{{
    {"hidden or system file", "hidden or system files"},
    {"earlier output", "earlier outputs"},
    {"temporary or partial upload", "temporary or partial uploads"},
    {"link to a folder, not followed", "links to folders, not followed"},
    {"folder too deep to look into", "folders too deep to look into"},
    {"folder that could not be read", "folders that could not be read"},
    {"entry that is not a file", "entries that are not files"},
}};

void AddFolder(const std::string& folder, int level, int deepest_level, FolderFiles& found) {
  Result<std::vector<FolderEntry>> entries = EntriesOf(folder);
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
    // A folder is left out by its name only when hidden: one named like an output or an upload
    // is still looked into.
    const std::optional<SkipReason> by_name = LeftOutByName(entry.name);
    if (by_name && (entry.kind == FolderEntry::Kind::kFile || *by_name == SkipReason::kHidden)) {
      skip(*by_name);
    } else if (entry.hidden) {
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

std::optional<SkipReason> LeftOutByName(std::string_view name) {
  const std::string lower = AsciiLowered(name);
  // This program's temporary names start with a dot: they count as temporary, not hidden.
  if (IsTemporaryName(name) || IsTemporaryFileName(lower)) return SkipReason::kTemporary;
  if (name.starts_with('.') || IsSystemFileName(lower)) return SkipReason::kHidden;
  if (IsOutputName(name)) return SkipReason::kOutput;
  return std::nullopt;
}

std::string SkipReasonText(SkipReason reason) {
  const std::string_view one = kSkipWords[static_cast<std::size_t>(reason)][0];
  std::string text = one.starts_with('e') ? "an " : "a ";
  return text += one;
}

std::string SkippedSummary(const std::vector<SkippedPath>& skipped) {
  std::array<std::size_t, kSkipWords.size()> counts{};
  for (const SkippedPath& path : skipped) ++counts[static_cast<std::size_t>(path.reason)];
  std::string text;
  for (std::size_t reason = 0; reason < counts.size(); ++reason) {
    if (counts[reason] == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(counts[reason]);
    text += ' ';
    text += kSkipWords[reason][counts[reason] == 1 ? 0 : 1];
  }
  return text;
}

FolderFiles FilesOfFolder(std::string_view folder, int deepest_level) {
  FolderFiles found;
  AddFolder(std::string(folder), 0, deepest_level, found);
  return found;
}

}  // namespace halvrenn::cdr
