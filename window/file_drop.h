#pragma once

// Files dropped on the window, or named on its command line: converted as halvrenn-cdr converts
// them with its defaults (the same library, the output beside the input, written under a
// temporary name and renamed into place), on a worker thread, so that the window never freezes.
// No toolkit here: each front shows the progress and the result in its own dialogs.
//
// Example, from a front's drop handler (AskReplace and Show are the front's own dialogs):
//   const std::vector<std::string> files = FilesOfDrop(dropped_paths);
//   const bool replace = FilesWithExistingOutput(files).empty() || AskReplace();
//   job_ = std::make_unique<FileDropJob>(files, replace, on_progress, on_finished);
//   ... on_finished (on the worker) posts to the window's thread, which shows
//   Show(DropReportText(job_->Outcomes()), FolderOfOutputs(job_->Outcomes())).

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "conversion.h"

namespace halvrenn {

// The files a drop names, in the order given: a file as it is, and for a folder the regular
// files in it, not in its subfolders, sorted by name. A path that is neither stays, so that the
// report names it with the reason.
std::vector<std::string> FilesOfDrop(const std::vector<std::string>& dropped);

// Those of `files` whose output exists already, which the user is asked about once.
std::vector<std::string> FilesWithExistingOutput(const std::vector<std::string>& files);

struct DropProgress {
  std::size_t file_index = 0;  // the file being converted, [0, file_count)
  std::size_t file_count = 0;
  std::string file;  // UTF-8, as every path here
  int percent = 0;   // of the bytes of all files, [0, 100]
};

struct DroppedFile {
  enum class State : unsigned char {
    kConverted,
    kKept,       // its output existed and the user chose to skip it
    kFailed,     // not read or not written: result.error says why
    kCancelled,  // cancelled while it or an earlier file was converted: no output
  };
  std::string input;
  State state = State::kCancelled;
  cdr::FileResult result;
};

// Converts `files` one after another on a thread of its own. `progress` is called on that thread
// whenever the file or the percentage changes, and `finished` once at the end, also there; both
// must hand their work to the window's thread. Destroying the job cancels it and waits: an output
// being written is removed, outputs already finished stay.
class FileDropJob {
 public:
  FileDropJob(std::vector<std::string> files, bool replace_existing,
              std::function<void(const DropProgress&)> progress, std::function<void()> finished);
  ~FileDropJob();
  FileDropJob(const FileDropJob&) = delete;
  FileDropJob& operator=(const FileDropJob&) = delete;

  // Stops at once; safe from any thread, and more than once.
  void Cancel();
  // The outcome of every file, once `finished` has been called.
  const std::vector<DroppedFile>& Outcomes() const { return outcomes_; }

 private:
  void Run();

  std::vector<std::string> files_;
  bool replace_existing_;
  std::function<void(const DropProgress&)> progress_;
  std::function<void()> finished_;
  std::atomic<bool> cancel_{false};
  std::vector<DroppedFile> outcomes_;
  std::thread worker_;  // last: it starts once everything above exists
};

// The message at the end: a paragraph per file with its counts and where its output is, or why
// it has none. Example:
//   calls.csv: 1000 records, 2950 converted, 48 empty, 2 rejected (lines 17, 940), 0 malformed
//   -> /home/ana/cdr/calls.converted.csv
std::string DropReportText(const std::vector<DroppedFile>& outcomes);

// How the report looks: information when every file was converted, a warning when any failed or
// was skipped, an error when none was converted.
enum class DropReportKind : unsigned char { kInformation, kWarning, kError };
DropReportKind DropReportKindOf(const std::vector<DroppedFile>& outcomes);

// The folder that holds the outputs, for the report's button that opens it: the first output's.
std::optional<std::string> FolderOfOutputs(const std::vector<DroppedFile>& outcomes);

}  // namespace halvrenn
