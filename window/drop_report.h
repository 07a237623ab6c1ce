#pragma once

// The report at the end of a drop, the same on both fronts: the totals first, then one paragraph
// per file (failures first) for a scrolling list, so that the report keeps its size for any
// number of files; the icon; and the folder to show with the outputs to select in it.
//
// Example, for 50 files of which one could not be opened:
//   totals: "Converted 49 of 50 files; 1 failed.\n"
//           "98000 records: 294000 values converted, 2000 empty, 0 rejected; 0 malformed."
//   files:  "locked.csv: cannot open: Access is denied\n    in C:\cdr\day\n\n"
//           "cdr_..._0000_1: 2000 records, 6000 converted, ...\n    -> C:\cdr\day\...\n\n..."

#include <optional>
#include <string>
#include <vector>

#include "window/file_drop.h"

namespace halvrenn {

// How the report looks: information when every file was converted, a warning when any failed or
// was skipped, an error when none was converted.
enum class DropReportKind : unsigned char { kInformation, kWarning, kError };
DropReportKind DropReportKindOf(const std::vector<DroppedFile>& outcomes);

// What Open Folder shows: a folder, and the items in it to select, by their full paths. With
// outputs in one folder, that folder and the outputs; in several, the deepest folder that holds
// them all and its sub-folders that lead to them.
struct FolderToShow {
  std::string folder;
  std::vector<std::string> items;
};
std::optional<FolderToShow> FolderOfOutputs(const std::vector<DroppedFile>& outcomes);

struct DropReport {
  DropReportKind kind = DropReportKind::kInformation;
  std::string totals;  // lines joined by "\n"
  std::string files;   // paragraphs joined by "\n\n"
  std::optional<FolderToShow> outputs;
};

DropReport MakeDropReport(const std::vector<DroppedFile>& outcomes,
                          const std::vector<cdr::SkippedPath>& skipped);

}  // namespace halvrenn
