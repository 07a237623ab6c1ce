#pragma once

// The Win32 face of a file drop: asks once whether existing outputs are replaced (a task dialog
// with Replace and Skip), converts on a worker thread behind a small modeless progress window
// placed beside Form1 where it hides none of its fields (the file, a PROGRESS_CLASS bar over all
// files, Cancel, which Escape, Enter and Space press), and shows the report in a dialog of fixed
// size: the totals, then the files in a scrolling list, with Open Folder and Close always in
// view. Form1 stays usable throughout: the worker only posts messages to it.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "window/drop_report.h"
#include "window/file_drop.h"

namespace halvrenn::win32 {

class FileDropWindow {
 public:
  // Posted to the owner by the worker; the owner's window procedure hands them to
  // OnProgressPosted and OnFinishedPosted.
  static constexpr UINT kProgressMessage = WM_APP + 1;
  static constexpr UINT kFinishedMessage = WM_APP + 2;

  // The report dialog's controls, by identifier.
  static constexpr int kReportIcon = 100;
  static constexpr int kReportTotals = 101;
  static constexpr int kReportFiles = 103;
  static constexpr int kReportOpenFolder = 104;
  static constexpr int kReportNote = 105;  // why Open Folder showed nothing

  explicit FileDropWindow(HWND owner) : owner_(owner) {}
  ~FileDropWindow();  // cancels a running conversion and waits for it
  FileDropWindow(const FileDropWindow&) = delete;
  FileDropWindow& operator=(const FileDropWindow&) = delete;

  // Converts the files and the folders' files (UTF-8 paths); while a conversion runs, a further
  // drop is declined with a note.
  void Convert(const std::vector<std::string>& dropped);
  // Stops a running conversion at once and waits: no partial output remains.
  void CancelAndWait();

  void OnProgressPosted();
  void OnFinishedPosted();

  bool running() const { return job_ != nullptr; }
  HWND progress_window() const { return progress_; }

 private:
  static LRESULT CALLBACK ProgressProcedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam);
  void CreateProgressWindow();
  void CloseProgressWindow();
  void Cancel();

  HWND owner_;
  std::unique_ptr<FileDropJob> job_;
  HWND progress_ = nullptr;
  HWND label_ = nullptr;
  HWND bar_ = nullptr;
  HWND cancel_ = nullptr;
  HFONT font_ = nullptr;

  // The worker's latest progress, and whether a message about it is on its way. The system's own
  // slim lock: Halvrenn.exe carries no other.
  SRWLOCK latest_lock_ = SRWLOCK_INIT;
  DropProgress latest_;
  std::atomic<bool> progress_posted_{false};
};

// Shows the folder in the file manager with the items selected where the shell can, else opens
// the folder; false, with `error` set to the system's words, when neither worked.
bool ShowFolder(HWND owner, const FolderToShow& shown, std::string& error);

}  // namespace halvrenn::win32
