#pragma once

// What a watcher of a folder needs of the system: the changes of the folder's entries as the
// platform reports them, and a few facts and moves of single files. One file per platform:
// folder_watch_posix.cpp (inotify), folder_watch_win32.cpp (ReadDirectoryChangesW); where a
// folder gives no events (a network share), a scan every period (folder_watch.cpp, waiting the
// platform's way). A watch reports names only; what a change means is the watch loop's business
// (watch_loop.h). Nothing here prints.
//
// Example:
//   std::string error;
//   std::unique_ptr<FolderWatch> watch = WatchFolderEvents("/srv/cdr/in", error);
//   for (const FolderChange& change : watch->Wait(std::chrono::seconds(1))) {
//     if (change.kind == FolderChange::Kind::kWritten) ...  // change.name was closed by a writer
//   }

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
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

// A regular file as it stands (through a link): two states differ when it was written, replaced,
// renamed or its attributes changed.
struct FileState {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // last write of the data, in the platform's ticks
  std::int64_t changed = 0;   // last change of the data or of the entry, in the same ticks
  std::uint64_t device = 0;   // the device or volume, and the file on it
  std::uint64_t file = 0;
  bool hidden = false;  // by the system's own mark (Windows' hidden or system attribute)
  bool operator==(const FileState&) const = default;
};
// Nothing for a missing file, a folder or anything else that is not a regular file.
std::optional<FileState> StateOf(std::string_view path);
// Whether the path is a FIFO, a socket or a device (through a link), found without opening it:
// opening a FIFO waits for its other end. Never on Windows, whose folders hold none.
bool IsSpecialFile(std::string_view path);

enum class Writers : unsigned char { kNone, kSome, kUnknown };
// Whether another process has the file open for writing: on Linux whether the kernel grants a
// read lease (only the file's owner, or a process with CAP_LEASE, may ask; else kUnknown), on
// Windows whether it opens without sharing write access.
Writers OtherWritersOf(std::string_view path);

// Whether the path is a link (symbolic link, junction) whose target is not inside `folder`.
bool LinkLeadsOutOf(std::string_view path, std::string_view folder);

enum class MoveResult : unsigned char { kMoved, kExists, kOtherVolume, kFailed };
// Renames `from` to `to` unless `to` exists; kOtherVolume where a rename cannot cross.
MoveResult MoveWithoutReplacing(std::string_view from, std::string_view to, std::string& error);
bool RemoveFile(std::string_view path, std::string& error);

// Held while a watcher converts into a folder, so that a second watcher of the same folder, which
// would remove the first one's temporary files, refuses to start. Released when the process ends
// however it ends.
class FolderClaim {
 public:
  virtual ~FolderClaim() = default;
};
// Nothing when another process holds the folder; a claim that holds nothing where the system
// cannot tell (a network file system without locks).
std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder);

}  // namespace halvrenn::cdr
