#include "file_drop_texts.h"

#include <array>

namespace halvrenn {

std::string CountOf(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

Question ReplaceQuestion(std::size_t existing) {
  if (existing == 1) {
    return {"The converted file of one dropped file already exists.",
            "Replace it, or skip that file?"};
  }
  return {"The converted files of " + std::to_string(existing) + " dropped files already exist.",
          "Replace them, or skip those files?"};
}

std::string ProgressText(std::string_view file_name, std::size_t index, std::size_t count) {
  return "Converting " + std::string(file_name) + " (" + std::to_string(index + 1) + " of " +
         std::to_string(count) + ")";
}

namespace {

// By the order of cdr::SkipReason: one, many.
constexpr std::array<std::array<std::string_view, 2>, 6> kSkipWords{{
    {"hidden or system file", "hidden or system files"},
    {"earlier output", "earlier outputs"},
    {"link to a folder, not followed", "links to folders, not followed"},
    {"folder too deep to look into", "folders too deep to look into"},
    {"folder that could not be read", "folders that could not be read"},
    {"entry that is not a file", "entries that are not files"},
}};

}  // namespace

std::string SkipReasonText(cdr::SkipReason reason) {
  const std::string_view one = kSkipWords[static_cast<std::size_t>(reason)][0];
  return (one.starts_with('e') ? "an " : "a ") + std::string(one);
}

std::string SkippedSummary(const std::vector<cdr::SkippedPath>& skipped) {
  std::array<std::size_t, kSkipWords.size()> counts{};
  for (const cdr::SkippedPath& path : skipped) ++counts[static_cast<std::size_t>(path.reason)];
  std::string text;
  for (std::size_t reason = 0; reason < counts.size(); ++reason) {
    if (counts[reason] == 0) continue;
    if (!text.empty()) text += ", ";
    text += CountOf(counts[reason], kSkipWords[reason][0], kSkipWords[reason][1]);
  }
  return text;
}

std::string NothingToConvertText(const std::vector<cdr::SkippedPath>& skipped) {
  std::string text = "The dropped folders hold no files to convert.";
  if (!skipped.empty()) text += " Left out: " + SkippedSummary(skipped) + ".";
  return text;
}

std::string CannotOpenFolderText(std::string_view folder, std::string_view reason) {
  return "The folder " + std::string(folder) + " could not be opened: " + std::string(reason);
}

}  // namespace halvrenn
