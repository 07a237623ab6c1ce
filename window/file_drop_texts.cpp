#include "window/file_drop_texts.h"

#include "cdr/format/summary_text.h"
#include "time/locale_and_zone.h"

namespace halvrenn {

std::string CountOf(std::size_t count, std::string_view one, std::string_view many) {
  return platform::GroupedCount(count) + ' ' + std::string(count == 1 ? one : many);
}

Question ReplaceQuestion(std::size_t existing) {
  // The files may have been dropped or named on the command line: the words fit both.
  if (existing == 1) {
    return {"One of the files already has a converted file.", "Replace it, or skip that file?"};
  }
  return {platform::GroupedCount(existing) + " of the files already have converted files.",
          "Replace them, or skip those files?"};
}

std::string ProgressText(std::string_view file_name, std::size_t index, std::size_t count) {
  return "Converting " + cdr::PrintableName(file_name) + " (" + platform::GroupedCount(index + 1) +
         " of " + platform::GroupedCount(count) + ")";
}

std::string NothingToConvertText(const std::vector<cdr::SkippedPath>& skipped) {
  std::string text = "The folders hold no files to convert.";
  if (!skipped.empty()) text += " Left out: " + cdr::SkippedSummary(skipped) + ".";
  return text;
}

std::string CannotOpenFolderText(std::string_view folder, std::string_view reason) {
  return "The folder " + std::string(folder) + " could not be opened: " + std::string(reason);
}

}  // namespace halvrenn
