#pragma once

// What a watcher of a folder needs of the system: the changes of the folder's entries as the
// platform reports them (the facts of single files are file_facts.h's). One file per platform:
// folder_watch_posix.cpp (inotify), folder_watch_win32.cpp (ReadDirectoryChangesW); where a
// folder gives no events (a network share), a scan every period (folder_watch.cpp, waiting the
// platform's way). A watch reports names only; what a change means is the watch state's business
// (watch_state.h). Nothing here prints.
//
// Example:
//   std::string error;
//   std::unique_ptr<FolderWatch> watch = WatchFolderEvents("/srv/cdr/in", error);
//   for (const FolderChange& change : watch->Wait(std::chrono::seconds(1))) {
//     if (change.kind == FolderChange::Kind::kWritten) ...  // change.name was closed by a writer
//   }

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn::cdr {

struct FolderChange {
  enum class Kind : unsigned char {
    kWritten,  // closed by its writer or moved into the folder: complete, as far as the system says
    kTouched,  // created, written or its attributes changed: perhaps still being written
    kGone,     // removed or moved away
    kRescan,   // changes were lost (a full queue): any name may have changed
  };
  Kind kind;
  std::string name;  // within the folder; empty for kRescan
};

class FolderWatch {
 public:
  virtual ~FolderWatch() = default;

  // The changes since the last call, once there are some, `timeout` has passed or Wake was called.
  virtual std::vector<FolderChange> Wait(std::chrono::milliseconds timeout) = 0;
  // Ends the Wait in progress, or the next one, at once. Safe in a signal handler, in a console
  // or service control handler, and from any thread.
  virtual void Wake() noexcept = 0;
  // Whether kWritten means that a writer closed the file (inotify). Where it does not, a file
  // counts as complete once its size and times have stayed the same for Settle().
  virtual bool ReportsClose() const = 0;
  virtual std::chrono::milliseconds Settle() const = 0;
};

// The platform's events for the folder's own entries (not those of sub-folders); nothing, with
// `error` set, when the folder cannot be watched that way.
std::unique_ptr<FolderWatch> WatchFolderEvents(std::string_view folder, std::string& error);
// A scan of the folder every `period`, reporting as kTouched every name whose size or times
// changed since the scan before, or that appeared as something other than a file or folder, and
// as kGone every name no longer there. The first scan is taken now and reports nothing.
std::unique_ptr<FolderWatch> WatchFolderByScan(std::string_view folder,
                                               std::chrono::milliseconds period);

}  // namespace halvrenn::cdr
