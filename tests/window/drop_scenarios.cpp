#include "drop_scenarios.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "cdr/convert/conversion.h"
#include "reference.h"

namespace halvrenn::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCalls =
    "cdrRecordType,globalCallID_callId,dateTimeOrigination,callingPartyNumber,dateTimeConnect\r\n"
    "INTEGER,INTEGER,INTEGER,VARCHAR(50),INTEGER\r\n"
    "1,1,1796619600,\"+1 555, 1\",1796619605\r\n"
    "1,2,4294967295,\"+1 555, 2\",0\r\n";
constexpr std::string_view kPlain = "name,count\r\nx,1\r\n";
constexpr std::string_view kOld = "kept as it was\r\n";

std::string_view BytesOf(Content content) {
  return content == Content::kCalls ? kCalls : content == Content::kPlain ? kPlain : kOld;
}

fs::path PathOf(const fs::path& folder, std::string_view relative) {
  return relative.empty() ? folder : folder / fs::path(relative).make_preferred();
}

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// What halvrenn-cdr's defaults make of the call records, in the run's zone: the drop must write
// exactly that.
std::string LibraryConversion() {
  std::string error;
  const auto converter = cdr::Converter::Create(cdr::Options{}, MachineZoneRules(), error);
  cdr::MemorySource input(kCalls);
  cdr::StringSink output;
  converter->ConvertStream(input, output, {}, nullptr);
  return output.text;
}

}  // namespace

const std::vector<DropScenario>& DropScenarios() {
  static const std::vector<DropScenario> scenarios = {
      {.name = "FilesAndFoldersAreConvertedAndReported",
       .files = {{"calls.csv"},
                 {"plain.csv", Content::kPlain},
                 {"day/node1/cdr_A"},
                 {"day/node2/cdr_A"},
                 {"day/desktop.ini", Content::kPlain, true},
                 {"day/Thumbs.db", Content::kPlain, true},
                 {"day/.cache", Content::kPlain},
                 {"day/old.converted.csv", Content::kOld}},
       .dropped = {"calls.csv", "day", "plain.csv", "missing.csv"},
       .converted = {"calls.converted.csv", "day/node1/cdr_A.converted.csv",
                     "day/node2/cdr_A.converted.csv"},
       .kept = {"day/old.converted.csv"},
       .absent = {"day/desktop.converted.ini", "day/Thumbs.converted.db",
                  "day/old.converted.converted.csv", "missing.converted.csv"},
       .totals = "Converted 3 of 5 files; 1 failed, 1 copied unchanged (no time-stamp column).\n"
                 "6 records: 9 values converted, 3 empty, 0 rejected; 0 malformed.\n"
                 "Left out of the folders: 3 hidden or system files, 1 earlier output.",
       .first_file = "missing.csv: cannot open: ",
       .kind = DropReportKind::kWarning},
      {.name = "TwoInputsOfOneOutputDoNotReplaceEachOther",
       .files = {{"calls"}, {"calls.csv"}},
       .dropped = {"calls", "calls.csv"},
       .converted = {"calls.converted.csv"},
       .totals = "Converted 1 of 2 files; 1 failed.\n"
                 "2 records: 3 values converted, 1 empty, 0 rejected; 0 malformed.",
       .first_file =
           "calls.csv: calls.converted.csv: already written from another input of this run\n",
       .kind = DropReportKind::kWarning},
      {.name = "ExistingOutputsAreSkippedWhenAsked",
       .files = {{"a.csv"},
                 {"b.csv"},
                 {"c.csv"},
                 {"a.converted.csv", Content::kOld},
                 {"b.converted.csv", Content::kOld}},
       .dropped = {""},
       .answer = Answer::kSkip,
       .question = "2 of the files already have converted files.\n"
                   "Replace them, or skip those files?",
       .converted = {"c.converted.csv"},
       .kept = {"a.converted.csv", "b.converted.csv"},
       .totals = "Converted 1 of 3 files; 2 skipped.\n"
                 "2 records: 3 values converted, 1 empty, 0 rejected; 0 malformed.\n"
                 "Left out of the folders: 2 earlier outputs.",
       .first_file = "a.csv: skipped; a.converted.csv already exists\n",
       .kind = DropReportKind::kWarning},
      {.name = "AnExistingOutputIsReplacedWhenAsked",
       .files = {{"a.csv"}, {"a.converted.csv", Content::kOld}},
       .dropped = {"a.csv"},
       .answer = Answer::kReplace,
       .question = "One of the files already has a converted file.\n"
                   "Replace it, or skip that file?",
       .converted = {"a.converted.csv"},
       .totals = "Converted 1 of 1 file.\n"
                 "2 records: 3 values converted, 1 empty, 0 rejected; 0 malformed.",
       .first_file = "a.csv: 2 records, 3 converted, 1 empty, 0 rejected, 0 malformed\n    -> ",
       .kind = DropReportKind::kInformation},
      {.name = "NothingConvertedShowsTheErrorIcon",
       .dropped = {"missing.csv"},
       .totals = "Converted 0 of 1 file; 1 failed.",
       .first_file = "missing.csv: cannot open: ",
       .kind = DropReportKind::kError},
      {.name = "AFolderWithNothingToConvertSaysWhy",
       .files = {{"day/desktop.ini", Content::kPlain, true},
                 {"day/x.converted.csv", Content::kOld}},
       .dropped = {"day"},
       .message = "The folders hold no files to convert. "
                  "Left out: 1 hidden or system file, 1 earlier output.",
       .kept = {"day/x.converted.csv"},
       .absent = {"day/desktop.converted.ini"}},
  };
  return scenarios;
}

std::string ScenarioName(const ::testing::TestParamInfo<DropScenario>& info) {
  return std::string(info.param.name);
}

std::vector<fs::path> MakeScenarioFiles(const DropScenario& scenario, const fs::path& folder) {
  std::vector<fs::path> hidden;
  for (const ScenarioFile& file : scenario.files) {
    WriteAll(PathOf(folder, file.path), BytesOf(file.content));
    if (file.hidden) hidden.push_back(PathOf(folder, file.path));
  }
  return hidden;
}

std::vector<std::string> DroppedPaths(const DropScenario& scenario, const fs::path& folder) {
  std::vector<std::string> paths;
  for (const std::string_view dropped : scenario.dropped) {
    const std::u8string path = PathOf(folder, dropped).u8string();
    paths.emplace_back(path.begin(), path.end());
  }
  return paths;
}

void ExpectScenarioOutcome(const DropScenario& scenario, const fs::path& folder,
                           const ShownDrop& shown) {
  EXPECT_EQ(shown.question, scenario.question);
  EXPECT_EQ(shown.message, scenario.message);
  EXPECT_EQ(shown.reported, scenario.message.empty());
  if (shown.reported) {
    EXPECT_EQ(shown.kind, scenario.kind);
    EXPECT_EQ(shown.totals, scenario.totals);
    EXPECT_TRUE(shown.files.starts_with(scenario.first_file)) << shown.files;
    // Each path once: a failure names its file and its folder, not the path again.
    for (const std::string& dropped : DroppedPaths(scenario, folder)) {
      EXPECT_EQ(shown.files.find(dropped + ':'), std::string::npos) << shown.files;
    }
  }
  const std::string converted = LibraryConversion();
  // The Greenwich text of the first stamp, worked out apart from the library.
  const ReferenceDateTime t = ReferenceCalendar(1796619600);
  char greenwich[32];
  std::snprintf(greenwich, sizeof greenwich, ",%04d-%02d-%02d %02d:%02d:%02d,", t.year, t.month,
                t.day, t.hour, t.minute, t.second);
  EXPECT_NE(converted.find(greenwich), std::string::npos) << converted;
  for (const std::string_view output : scenario.converted) {
    EXPECT_EQ(ReadAll(PathOf(folder, output)), converted) << output;
  }
  for (const std::string_view output : scenario.kept) {
    EXPECT_EQ(ReadAll(PathOf(folder, output)), kOld) << output;
  }
  for (const std::string_view output : scenario.absent) {
    EXPECT_FALSE(fs::exists(PathOf(folder, output))) << output;
  }
  // No temporary file is left anywhere.
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
  }
}

namespace {

// A file of call records big enough that a conversion of it still runs when a test acts on it.
fs::path MakeBigFile(const fs::path& folder) {
  std::string records;
  for (int id = 0; id < 4000; ++id) {
    records += "1," + std::to_string(id) + "," + std::to_string(1700000000 + id) + ",\"+1 555, " +
               std::to_string(id) + "\"," + std::to_string(1700000005 + id) + "\r\n";
  }
  const fs::path path = folder / "big.csv";
  std::ofstream file(path, std::ios::binary);
  file << kCalls.substr(0, kCalls.find("1,1,"));
  for (int block = 0; block < 150; ++block) file << records;  // about 40 MB
  return path;
}

std::vector<std::string> FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

void RunProgressScenario(DropWindowDriver& driver, const fs::path& folder) {
  const fs::path big = MakeBigFile(folder);
  bool first = true;
  for (const std::string_view key : driver.CancelKeys()) {
    SCOPED_TRACE(std::string(key));
    driver.Drop(big);
    ASSERT_TRUE(driver.WaitForProgress());
    const Frame progress = driver.ProgressFrame();
    const Frame window = driver.WindowFrame();
    EXPECT_FALSE(progress.Overlaps(window));
    EXPECT_TRUE(driver.WorkArea().Holds(progress));
    if (first) {
      driver.SaveScreenshot(
          {std::min(progress.left, window.left), std::min(progress.top, window.top),
           std::max(progress.right, window.right), std::max(progress.bottom, window.bottom)},
          "drop-progress");
      // The window answers while the worker converts.
      driver.TypeIntoText1("86400");
      EXPECT_EQ(driver.Text(Form1Control::Text2), ExpectedDateText(86400));
      ASSERT_TRUE(driver.Running());
      first = false;
    }
    driver.PressOnProgress(key);
    const std::optional<WindowReport> report = driver.NextReport();
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->files.starts_with("big.csv: cancelled")) << report->files;
    EXPECT_EQ(report->kind, DropReportKind::kError);  // nothing converted
    EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
    EXPECT_TRUE(driver.WindowOpen());
  }
}

void RunClosingScenario(DropWindowDriver& driver, const fs::path& folder) {
  driver.Drop(MakeBigFile(folder));
  ASSERT_TRUE(driver.WaitForProgress());
  driver.CloseWindow();
  EXPECT_FALSE(driver.WindowOpen());
  EXPECT_FALSE(driver.Running());
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"big.csv"});
}

// However many files, the report keeps one size within the screen's work area.
void RunFiftyFilesScenario(DropWindowDriver& driver, const fs::path& folder) {
  MakeCallFiles(folder / "one", 1);
  MakeCallFiles(folder / "fifty", 50);
  driver.Drop(folder / "one");
  const std::optional<WindowReport> one = driver.NextReport();
  driver.Drop(folder / "fifty");
  const std::optional<WindowReport> fifty = driver.NextReport("drop-report");
  ASSERT_TRUE(one && fifty);
  EXPECT_TRUE(fifty->totals.starts_with("Converted 50 of 50 files.")) << fifty->totals;
  std::size_t outputs = 0;
  for (std::size_t at = 0; (at = fifty->files.find(".converted.csv", at)) != std::string::npos;
       ++at) {
    ++outputs;
  }
  EXPECT_EQ(outputs, 50U);
  EXPECT_EQ(fifty->frame.right - fifty->frame.left, one->frame.right - one->frame.left);
  EXPECT_EQ(fifty->frame.bottom - fifty->frame.top, one->frame.bottom - one->frame.top);
  EXPECT_TRUE(driver.WorkArea().Holds(one->frame));
  EXPECT_TRUE(driver.WorkArea().Holds(fifty->frame));
}

// Open Folder shows the outputs' folder, from a relative path made absolute at the drop; where
// the desktop cannot, the report says why and stays.
void RunOpenFolderScenario(DropWindowDriver& driver, const fs::path& folder, bool can_open) {
  const fs::path day = folder / "day-of-calls";
  MakeCallFiles(day, 1);
  const DropWindowDriver::OpenedFolder opened =
      driver.ConvertAndOpenFolder(folder, "day-of-calls", can_open);
  if (can_open) {
    EXPECT_EQ(opened.shown, driver.AsShown(day));
    EXPECT_EQ(opened.note, "");
    EXPECT_FALSE(opened.report_stays);
  } else {
    const std::u8string path = day.u8string();
    EXPECT_TRUE(opened.note.starts_with("The folder " + std::string(path.begin(), path.end()) +
                                        " could not be opened: "))
        << opened.note;
    EXPECT_TRUE(opened.report_stays);
  }
}

void MakeCallFiles(const fs::path& folder, int count) {
  for (int index = 0; index < count; ++index) {
    WriteAll(folder / ("cdr_Cluster1_01_2026120709" + std::to_string(10 + index) + "_1"), kCalls);
  }
}

}  // namespace halvrenn::testing
