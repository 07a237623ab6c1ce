#pragma once

// What the watch loop decides, apart from the disk and the clock: what a change of the folder
// means, when a file counts as complete, what a conversion's outcome leads to and how long a
// failure waits. It takes what happened and what was looked up (a file's state, its writers, the
// time now) and answers with actions for the loop to carry out: look at a file, ask for its
// writers, convert it, move it into the done folder, log an event. It touches no file and reads
// no clock, so that every rule can be played through with made-up facts and times.
//
// Example:
//   WatchState state(folders, watch.ReportsClose(), watch.Settle());
//   Carry(state.Changed(change, {.name = change.name, .state = StateOf(path)}, Clock::now()));
//   for (const WatchAction& look : state.Due(Clock::now())) Carry(look);
//   watch.Wait(state.TimeUntilDue(Clock::now()));
// where Carry looks, converts or moves as asked and gives the state what it found.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cdr/files/file_changes.h"
#include "cdr/watch/watch_loop.h"

namespace halvrenn::cdr {

using WatchClock = std::chrono::steady_clock;  // only its time points: the state reads no clock

struct WatchAction {
  enum class Kind : unsigned char {
    kLook,        // give the file's state now to Looked
    kAskWriters,  // give whether anyone writes the file to WritersAre
    kConvert,     // give the conversion's result to Converted, or why not to LeftAlone
    kMoveToDone,  // give the move's outcome to Moved
    kReport,      // `event`, for the log
  };
  Kind kind;
  std::string name;  // within the input folder
  WatchEvent event{};
};
using WatchActions = std::vector<WatchAction>;

// What a look at a name of the input folder found.
struct NameFacts {
  std::string name;
  std::optional<FileState> state{};   // nothing: not a regular file (any more)
  bool special = false;               // a FIFO, socket or device
  std::optional<FileState> output{};  // its output, when asked for by a look at the whole folder
};

struct MoveOutcome {
  enum class Kind : unsigned char { kMoved, kGone, kFailed };
  Kind kind;
  std::string path{};    // kMoved: where it went
  bool renamed = false;  // kMoved: under another name than its own
  std::string error{};   // kFailed: the system's words; empty when every name was taken
};

class WatchState {
 public:
  using Time = WatchClock::time_point;

  // `reports_close` and `settle` as the folder watch says (FolderWatch::ReportsClose, Settle).
  WatchState(WatchFolders folders, bool reports_close, std::chrono::milliseconds settle);

  // A look at the whole folder: every name that is not ignored (IsIgnoredByWatch), neither hidden,
  // with its output's state; nothing when the folder cannot be listed.
  WatchActions Listed(const std::optional<std::vector<NameFacts>>& names, Time now);
  // A change the folder watch reported (not kRescan, which asks for Listed), with the state of
  // the name just after (nothing for kGone) and whether it is special.
  WatchActions Changed(FolderChange::Kind kind, const NameFacts& facts, Time now);

  // A kLook of every file due by `now`, the oldest change first; nothing while a full disk holds
  // every file back.
  WatchActions Due(Time now) const;
  bool HeldBack(Time now) const;
  // How long the loop may wait for changes before something is due.
  std::chrono::milliseconds TimeUntilDue(Time now) const;

  WatchActions Looked(const std::string& name, const std::optional<FileState>& state, Time now);
  WatchActions WritersAre(const std::string& name, Writers writers, Time now);
  // Not converted: a link that leads out of the folder (kLinkOut), or another input with the
  // same output (kSameOutput, `path` that input).
  WatchActions LeftAlone(const std::string& name, WatchEvent::Kind why, std::string path);
  // `result` is pointed to by the reports returned: carry them out while it lives.
  WatchActions Converted(const std::string& name, const FileResult& result, Time now);
  WatchActions Moved(const std::string& name, const MoveOutcome& outcome, Time now);

 private:
  // A file looked at until it is complete, or a converted one whose move into the done folder
  // waits.
  struct Pending {
    FileState seen;                 // at the last look
    Time since;                     // when it was last seen to change
    Time due;                       // the next look
    bool closed = false;            // a writer's close was reported since it last changed
    bool move_only = false;         // converted; only the move into the done folder is left
    bool reported = false;          // its failure is reported already
    std::chrono::seconds pause{0};  // before the next try of a failed output or move
    bool found = false;             // by a look at the whole folder rather than by an event
    // The first look at this state that found no writer. A single such look proves nothing: a
    // file created by open(O_CREAT) is in the folder, its creation reported, an instant before
    // its creator holds it open for writing, and in that instant the kernel grants a lease.
    std::optional<Time> no_writer_since{};
    bool failed = false;    // its conversion failed: a fault of the file unless it changed
    std::size_t place = 0;  // in the look at the whole folder that found it: among equal `since`
  };

  WatchAction Report(WatchEvent::Kind kind, const std::string& name, std::string path = {},
                     std::string detail = {}, const FileResult* result = nullptr,
                     std::chrono::seconds retry = {}) const;
  void NoteSpecial(const std::string& name, WatchActions& actions);
  WatchActions Settle(const std::string& name, WatchActions actions);
  Time CompleteAt(const Pending& pending) const;
  WatchClock::duration SettleOf(const Pending& pending) const;

  WatchFolders folders_;
  bool reports_close_;
  std::chrono::milliseconds settle_;
  std::map<std::string, Pending> pending_;
  // The state in which each file was converted, found converted or failed: nothing to do until
  // it changes.
  std::map<std::string, FileState> settled_;
  std::set<std::string> special_;  // the FIFOs, sockets and devices reported
  bool disk_full_ = false;
  std::chrono::seconds disk_pause_{0};
  Time disk_full_until_;
  FileResult failure_;  // of the conversion whose file is looked at again before it is reported
};

}  // namespace halvrenn::cdr
