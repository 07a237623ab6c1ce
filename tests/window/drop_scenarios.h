#pragma once

// Files dropped on the window, each scenario written once and run by a small driver per front
// (qt/file_drop_test.cpp, win32/file_drop_window_test.cpp): the files made in a fresh folder, what
// is dropped, the answer to the question about existing outputs, and what the front must show
// and write. The drivers drop through the toolkit's real events, answer the real dialogs and
// read them back.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/drop_report.h"
#include "window/form1_layout.h"

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

// What only a window shows, written once and run over a driver per front: the progress beside
// the window while typing goes on and each of the platform's keys cancels, closing the window
// during a conversion, a report of 50 files, and its Open Folder.
struct Frame {  // on the screen, in pixels
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Overlaps(const Frame& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  bool Holds(const Frame& o) const {
    return left <= o.left && top <= o.top && o.right <= right && o.bottom <= bottom;
  }
};

struct WindowReport {
  Frame frame;
  DropReportKind kind = DropReportKind::kInformation;
  std::string totals{};
  std::string files{};
};

class DropWindowDriver {
 public:
  virtual ~DropWindowDriver() = default;
  virtual void Drop(const std::filesystem::path& path) = 0;
  // Until the running drop's progress shows and has moved; false after a minute.
  virtual bool WaitForProgress() = 0;
  virtual Frame ProgressFrame() const = 0;
  virtual Frame WindowFrame() const = 0;
  virtual Frame WorkArea() const = 0;
  // Saves what the screen shows in `frame` beside the tests, under `name` and the front's name.
  virtual void SaveScreenshot(const Frame& frame, std::string_view name) const = 0;
  virtual void TypeIntoText1(std::string_view digits) = 0;
  virtual std::string Text(Form1Control field) const = 0;
  virtual bool Running() const = 0;
  virtual bool WindowOpen() const = 0;
  // The keys that cancel on the progress window, as this platform's users press them.
  virtual std::vector<std::string_view> CancelKeys() const = 0;
  virtual void PressOnProgress(std::string_view key) = 0;
  // The next report, read back (and saved under `screenshot` when one is named), then closed.
  virtual std::optional<WindowReport> NextReport(std::string_view screenshot = {}) = 0;
  virtual void CloseWindow() = 0;  // as the window system's close command does

  // Open Folder on the report of `relative` converted from within `folder`, with the desktop able
  // to show a folder or not.
  struct OpenedFolder {
    std::string shown;  // the folder the file manager shows, as the driver reads it back
    std::string note;   // what the report then says
    bool report_stays = false;
  };
  virtual OpenedFolder ConvertAndOpenFolder(const std::filesystem::path& folder,
                                            std::string_view relative, bool can_open) = 0;
  // How the file manager names the folder it shows.
  virtual std::string AsShown(const std::filesystem::path& folder) const = 0;
};

void RunProgressScenario(DropWindowDriver& driver, const std::filesystem::path& folder);
void RunClosingScenario(DropWindowDriver& driver, const std::filesystem::path& folder);
void RunFiftyFilesScenario(DropWindowDriver& driver, const std::filesystem::path& folder);
void RunOpenFolderScenario(DropWindowDriver& driver, const std::filesystem::path& folder,
                           bool can_open);

// `count` small files of call records in `folder`.
void MakeCallFiles(const std::filesystem::path& folder, int count);

}  // namespace halvrenn::testing
