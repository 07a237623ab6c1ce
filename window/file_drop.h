#pragma once

// Files dropped on the window, or named on its command line: converted as halvrenn-cdr converts
// them with its defaults (the same library, the output beside the input, written under a
// temporary name and renamed into place), on a worker thread, so that the window never freezes.
// No toolkit here: each front shows the progress and the result in its own dialogs, with the
// texts of file_drop_texts.h and the report of drop_report.h.
//
// Example, from a front's drop handler (AskReplace and Show are the front's own dialogs):
//   DropFiles drop = FilesOfDrop(dropped_paths);
//   const bool replace = FilesWithExistingOutput(drop.files).empty() || AskReplace();
//   job_ = std::make_unique<FileDropJob>(std::move(drop), replace, on_progress, on_finished);
//   ... on_finished (on the worker) posts to the window's thread, which shows
//   Show(MakeDropReport(job_->Outcomes(), job_->Skipped())).

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cdr/convert/conversion.h"
#include "cdr/folders/folder_files.h"

namespace halvrenn {

struct DropFiles {
  std::vector<std::string> files;         // absolute paths, in the order given
  std::vector<cdr::SkippedPath> skipped;  // what the folders held that is not converted
};

// The files a drop names, each made absolute now (a file manager opens the outputs' folder later,
// whatever the current folder is then): a file as it is, and for a folder its files and its
// sub-folders' (cdr::FilesOfFolder). A path that is neither stays, so that the report names it
// with the reason.
DropFiles FilesOfDrop(const std::vector<std::string>& dropped);

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
    kFailed,     // not read or not written: result.failure says why
    kCancelled,  // cancelled while it or an earlier file was converted: no output
  };
  std::string input;
  State state = State::kCancelled;
  cdr::FileResult result;
};

// Converts the files one after another on a thread of its own. `progress` is called on that
// thread whenever the file or the percentage changes, and `finished` once at the end, also
// there; both must hand their work to the window's thread. Two inputs of one drop that map to
// one output never replace each other: the second fails. Destroying the job cancels it and
// waits: an output being written is removed, outputs already finished stay.
class FileDropJob {
 public:
  FileDropJob(DropFiles drop, bool replace_existing,
              std::function<void(const DropProgress&)> progress, std::function<void()> finished);
  ~FileDropJob();
  FileDropJob(const FileDropJob&) = delete;
  FileDropJob& operator=(const FileDropJob&) = delete;

  // Stops at once; safe from any thread, and more than once.
  void Cancel();
  // The outcome of every file, once `finished` has been called.
  const std::vector<DroppedFile>& Outcomes() const { return outcomes_; }
  const std::vector<cdr::SkippedPath>& Skipped() const { return drop_.skipped; }

 private:
  void Run();

  DropFiles drop_;
  bool replace_existing_;
  std::function<void(const DropProgress&)> progress_;
  std::function<void()> finished_;
  std::atomic<bool> cancel_{false};
  std::vector<DroppedFile> outcomes_;
  std::thread worker_;  // last: it starts once everything above exists
};

// A rectangle on the screen in pixels, right and bottom excluded.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Where a window of `width` by `height` goes beside `owner` so that it hides none of it: below,
// else above, else to the right, else to the left, lined up with the owner's edge and kept
// within `work_area`. Where none has room, below, as far up as the work area lets it.
// Example: an owner {100, 100, 600, 400} on a 1280x1024 work area puts a 360x110 window at
// (100, 400).
ScreenRect PlaceBeside(const ScreenRect& owner, int width, int height, const ScreenRect& work_area);

}  // namespace halvrenn
