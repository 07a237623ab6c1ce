// The two decisions of the drop that no window shows by itself: which folder Open Folder shows
// with which items selected, and where the progress window goes beside Form1.

#include "window/drop_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdr/files/paths.h"

namespace halvrenn {
namespace {

// "/day/a.csv" in the platform's form: "\day\a.csv" with a drive on Windows; "D:/b.csv" names its
// drive and is Windows' only.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = cdr::PreferredPathSeparator();
  }
  if (cdr::PreferredPathSeparator() == '\\' && path.find(':') == std::string::npos) {
    return "C:" + path;
  }
  return path;
}

TEST(DropReport, OpenFolderShowsTheFolderThatHoldsTheOutputs) {
  struct Case {
    const char* what;
    std::vector<std::string> outputs;  // of converted files; "" a file that failed
    std::string folder;
    std::vector<std::string> items;
  };
  const std::vector<Case> cases = {
      {"one folder: the outputs selected",
       {"/day/a.converted.csv", "", "/day/b.converted.csv"},
       "/day",
       {"/day/a.converted.csv", "/day/b.converted.csv"}},
      {"sub-folders: the folder above them, the sub-folders selected once each",
       {"/day/node1/a.converted.csv", "/day/node1/b.converted.csv", "/day/node2/a.converted.csv",
        "/day/c.converted.csv"},
       "/day",
       {"/day/node1", "/day/node2", "/day/c.converted.csv"}},
      {"a name that starts like a folder's is not in it",
       {"/cdr/day/a.converted.csv", "/cdr/day2/b.converted.csv"},
       "/cdr",
       {"/cdr/day", "/cdr/day2"}},
      {"two drives: the first output's folder",
       {"C:/day/a.converted.csv", "D:/b.converted.csv"},
       "C:/day",
       {"C:/day/a.converted.csv"}},
  };
  for (const Case& c : cases) {
    if (cdr::PreferredPathSeparator() == '/' && c.folder.find(':') != std::string::npos) continue;
    SCOPED_TRACE(c.what);
    std::vector<DroppedFile> outcomes;
    for (const std::string& output : c.outputs) {
      DroppedFile& file = outcomes.emplace_back();
      file.state = output.empty() ? DroppedFile::State::kFailed : DroppedFile::State::kConverted;
      file.result.output = Native(output);
    }
    const std::optional<FolderToShow> shown = FolderOfOutputs(outcomes);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->folder, Native(c.folder));
    std::vector<std::string> items;
    for (const std::string& item : c.items) items.push_back(Native(item));
    EXPECT_EQ(shown->items, items);
  }
  std::vector<DroppedFile> failed(1);
  failed.front().state = DroppedFile::State::kFailed;
  EXPECT_FALSE(FolderOfOutputs(failed).has_value());
}

TEST(DropReport, TheProgressWindowGoesWhereItHidesNoneOfTheOwner) {
  const ScreenRect screen{0, 0, 1280, 1024};
  struct Case {
    const char* what;
    ScreenRect owner;
    ScreenRect expected;
  };
  // A 360 by 130 progress window.
  const Case cases[] = {
      {"below, lined up with the left edge", {100, 100, 600, 400}, {100, 400, 460, 530}},
      {"above, where there is no room below", {100, 850, 600, 1000}, {100, 720, 460, 850}},
      {"right, where the owner takes the height", {100, 0, 600, 1000}, {600, 0, 960, 130}},
      {"left, where nothing else has room", {900, 0, 1280, 1000}, {540, 0, 900, 130}},
      {"within the screen when the owner sticks out",
       {1100, 100, 1600, 400},
       {920, 400, 1280, 530}},
      {"below, as far up as it fits, when nothing has room",
       {0, 0, 1280, 1000},
       {0, 894, 360, 1024}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ScreenRect place = PlaceBeside(c.owner, 360, 130, screen);
    EXPECT_EQ(place.left, c.expected.left);
    EXPECT_EQ(place.top, c.expected.top);
    EXPECT_EQ(place.right, c.expected.right);
    EXPECT_EQ(place.bottom, c.expected.bottom);
  }
}

// Run in the US locale: the report's counts read as the user writes numbers, line numbers as
// the file's lines are numbered.
TEST(LocaleUs, TheReportWritesCountsInTheUsersDigitGrouping) {
  std::vector<DroppedFile> outcomes(1);
  DroppedFile& file = outcomes.front();
  file.input = Native("/day/calls.csv");
  file.state = DroppedFile::State::kConverted;
  file.result.output = Native("/day/calls.converted.csv");
  cdr::Summary& summary = file.result.summary;
  summary.columns_of[static_cast<std::size_t>(cdr::ColumnKind::kTime)] = 2;
  summary.tally.records = 1590825;
  summary.tally.converted = 3181650;
  summary.tally.empty = 1000;
  summary.tally.rejected.Add(12345);
  const DropReport report = MakeDropReport(outcomes, {});
  EXPECT_EQ(report.totals,
            "Converted 1 of 1 file.\n"
            "1,590,825 records: 3,181,650 values converted, 1,000 empty, 1 rejected; 0 malformed.");
  EXPECT_EQ(report.files.substr(0, report.files.find('\n')),
            "calls.csv: 1,590,825 records, 3,181,650 converted, 1,000 empty, 1 rejected (line "
            "12345), 0 malformed");
}

}  // namespace
}  // namespace halvrenn
