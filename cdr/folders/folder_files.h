#pragma once

// The files of a folder to convert, for a folder dropped on the window and a folder named on
// halvrenn-cdr's command line alike: its own files and those of its sub-folders (a day's folder
// often holds one folder per node), bounded in depth and never through a link, leaving out what
// no one means to convert. What is left out is listed with the reason, so that a report can say
// how many files were skipped and why. A folder's entries are the platform's (EntriesOf,
// file_facts.h).
//
// Example: for day/ holding calls.csv, desktop.ini, calls.converted.csv and node2/cdr_1,
//   FolderFiles found = FilesOfFolder("day");
//   found.files   == {"day/calls.csv", "day/node2/cdr_1"}
//   found.skipped == {{"day/calls.converted.csv", SkipReason::kOutput},
//                     {"day/desktop.ini", SkipReason::kHidden}}

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn::cdr {

enum class SkipReason : unsigned char {
  kHidden,      // hidden or system: .name, desktop.ini, Thumbs.db, the hidden attribute
  kOutput,      // an earlier conversion's output
  kTemporary,   // a temporary file or an upload in progress, renamed when complete
  kLink,        // a folder reached through a link (or junction), which is never followed
  kTooDeep,     // a folder below the deepest level looked into
  kUnreadable,  // a folder whose entries could not be listed
  kNotAFile,    // neither a file nor a folder: a device, a pipe, a socket
};

struct SkippedPath {
  std::string path;
  SkipReason reason;
};

struct FolderFiles {
  // A folder's own files in order of their names, then each sub-folder's in turn.
  std::vector<std::string> files;
  std::vector<SkippedPath> skipped;
};

// Why a file of this name is left out of a folder's conversion wherever it is met (a folder's
// walk, a drop, the watcher), whatever it holds; nothing when it is not:
//   hidden or system   .name, desktop.ini, Thumbs.db, ehthumbs.db, Icon\r (any case)
//   earlier output     calls.converted.csv (IsOutputName)
//   temporary          *.part, *.filepart, *.tmp, *.crdownload, ~$*, this program's own
//                      temporary name (IsTemporaryName), though it starts with a dot
std::optional<SkipReason> LeftOutByName(std::string_view name);

// Why an entry is left out: "a hidden or system file", "an earlier output".
std::string SkipReasonText(SkipReason reason);
// How many were left out, by reason: "2 hidden or system files, 1 earlier output".
std::string SkippedSummary(const std::vector<SkippedPath>& skipped);

// Sub-folders are looked into this many levels deep: a day's folder, a node's, an hour's, and
// room to spare; a deeper tree is more likely a mistaken drop (a whole disk) than call records.
constexpr int kDeepestFolderLevel = 6;

FolderFiles FilesOfFolder(std::string_view folder, int deepest_level = kDeepestFolderLevel);

}  // namespace halvrenn::cdr
