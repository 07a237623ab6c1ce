#include "window/file_drop_texts.h"

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

std::string NothingToConvertText(const std::vector<cdr::SkippedPath>& skipped) {
  std::string text = "The dropped folders hold no files to convert.";
  if (!skipped.empty()) text += " Left out: " + cdr::SkippedSummary(skipped) + ".";
  return text;
}

std::string CannotOpenFolderText(std::string_view folder, std::string_view reason) {
  return "The folder " + std::string(folder) + " could not be opened: " + std::string(reason);
}

}  // namespace halvrenn
