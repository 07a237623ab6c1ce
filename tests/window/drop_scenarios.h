#pragma once

// Files dropped on the window, each scenario written once and run by a small driver per front
// (qt/file_drop_test.cpp, win32/file_drop_window_test.cpp): the files made in a fresh folder, what
// is dropped, the answer to the question about existing outputs, and what the front must show
// and write. The drivers drop through the toolkit's real events, answer the real dialogs and
// read them back.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "window/drop_report.h"

namespace halvrenn::testing {

enum class Content : unsigned char {
  kCalls,  // a call manager's file: two records, three time stamps and a 0
  kPlain,  // a CSV file without a time-stamp column
  kOld,    // an earlier output, which must stay as it is when skipped
};

struct ScenarioFile {
  std::string_view path;  // relative to the scenario's folder, with '/'
  Content content = Content::kCalls;
  bool hidden = false;  // marked hidden and system where the platform has such marks
};

enum class Answer : unsigned char { kNotAsked, kReplace, kSkip };

struct DropScenario {
  std::string_view name{};
  std::vector<ScenarioFile> files{};
  std::vector<std::string_view> dropped{};  // relative paths; "" is the folder itself
  Answer answer = Answer::kNotAsked;
  std::string_view question{};                // the question's text and its choice, joined by "\n"
  std::string_view message{};                 // a note shown instead of a report
  std::vector<std::string_view> converted{};  // outputs that hold the library's conversion
  std::vector<std::string_view> kept{};       // earlier outputs left as they were
  std::vector<std::string_view> absent{};     // outputs that must not be written
  std::string_view totals{};
  std::string_view first_file{};  // how the list of files starts
  DropReportKind kind = DropReportKind::kInformation;
};

const std::vector<DropScenario>& DropScenarios();
std::string ScenarioName(const ::testing::TestParamInfo<DropScenario>& info);

// Makes the scenario's files under `folder`; the paths of those to be marked hidden.
std::vector<std::filesystem::path> MakeScenarioFiles(const DropScenario& scenario,
                                                     const std::filesystem::path& folder);
// The dropped paths as the front receives them: UTF-8, the platform's separators.
std::vector<std::string> DroppedPaths(const DropScenario& scenario,
                                      const std::filesystem::path& folder);

// What a front showed for a drop.
struct ShownDrop {
  std::string question;  // its text and its choice, joined by "\n"
  std::string message;
  bool reported = false;
  DropReportKind kind = DropReportKind::kInformation;
  std::string totals{};  // lines joined by "\n"
  std::string files{};   // paragraphs joined by "\n\n"
};

// Checks what was shown and written against the scenario (EXPECT_*).
void ExpectScenarioOutcome(const DropScenario& scenario, const std::filesystem::path& folder,
                           const ShownDrop& shown);

// A file of call records big enough that a conversion of it still runs when a test acts on it.
std::filesystem::path MakeBigFile(const std::filesystem::path& folder);
// `count` small files of call records in `folder`.
void MakeCallFiles(const std::filesystem::path& folder, int count);

std::vector<std::string> FolderListing(const std::filesystem::path& folder);

}  // namespace halvrenn::testing
