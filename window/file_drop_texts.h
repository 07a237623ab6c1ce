#pragma once

// Every text of the file drop's dialogs, for both fronts, as form1_layout.h describes the window
// for both: the fixed texts in one table, and the texts with counts and names made by the
// functions below, which word one and many right. "&" marks a button's access key.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/folders/folder_files.h"

namespace halvrenn {

struct DropDialogTexts {
  std::string_view title;
  std::string_view busy;  // a drop while another conversion runs
  std::string_view replace_button;
  std::string_view skip_button;
  std::string_view cancel_button;
  std::string_view open_folder_button;
  std::string_view close_button;
  std::string_view files_label;  // above the report's list of files
};

inline constexpr DropDialogTexts kDropTexts{
    "Halvrenn", "Files are being converted. Drop these again when that has finished.",
    "&Replace", "&Skip",
    "Cancel",   "&Open Folder",
    "Close",    "&Files:",
};

// "1 file", "2 files", "2,880 files": the count in the user's digit grouping.
std::string CountOf(std::size_t count, std::string_view one, std::string_view many);

// Whether existing outputs are replaced, asked once for the whole drop: the question, and the
// choice it offers. Example for 2: "2 of the files already have converted files." and
// "Replace them, or skip those files?".
struct Question {
  std::string text;
  std::string choice;
};
Question ReplaceQuestion(std::size_t existing);

// The progress window's line: "Converting calls.csv (3 of 50)".
std::string ProgressText(std::string_view file_name, std::size_t index, std::size_t count);

// A drop that holds nothing to convert: "The folders hold no files to convert.", and what
// was left out of them.
std::string NothingToConvertText(const std::vector<cdr::SkippedPath>& skipped);

// When the outputs' folder could not be shown: "The folder C:\cdr could not be opened: ..."
std::string CannotOpenFolderText(std::string_view folder, std::string_view reason);

}  // namespace halvrenn
