#include "cdr/watch/watch_loop.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "cdr/files/byte_streams.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/file_moves.h"
#include "cdr/files/paths.h"
#include "cdr/files/temporary_files.h"
#include "cdr/folders/folder_files.h"

namespace halvrenn::cdr {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr seconds kFirstRetry{1};
constexpr seconds kLongestRetry{60};
// How often a file that someone still writes is looked at again: a Windows writer's close gives
// no event of its own. Also how long a file found by a look at the whole folder stays unchanged
// and without a writer, at two looks, before it counts as complete.
constexpr milliseconds kWriterRecheck{250};
// How long a file that an event marked (created, its attributes changed) stays unchanged before
// it counts as complete without a writer's close, where the kernel will not say whether anyone
// writes it: a writer that pauses longer than this would have its file converted twice.
constexpr seconds kUnchangedWithoutClose{60};
// Names a move into the done folder may take when the plain one is taken: name.1, name.2, ...
constexpr int kMoveNames = 1000;

seconds Longer(seconds pause) {
  return pause == seconds{0} ? kFirstRetry : std::min(pause * 2, kLongestRetry);
}

bool OfTheOutput(Failure failure) {
  return failure == Failure::kCannotCreate || failure == Failure::kCannotWrite ||
         failure == Failure::kExists || failure == Failure::kWrittenThisRun;
}

// A file looked at until it is complete, or a converted one whose move into the done folder waits.
struct Pending {
  FileState seen;           // at the last look
  Clock::time_point since;  // when it was last seen to change
  Clock::time_point due;    // the next look
  bool closed = false;      // a writer's close was reported since it last changed
  bool move_only = false;   // converted; only the move into the done folder is left
  bool reported = false;    // its failure is reported already
  seconds pause{0};         // before the next try of a failed output or move
  bool found = false;       // by a look at the whole folder rather than by an event
  // The first look at this state that found no writer. A single such look proves nothing: a
  // file created by open(O_CREAT) is in the folder, its creation reported, an instant before its
  // creator holds it open for writing, and in that instant the kernel grants a lease.
  std::optional<Clock::time_point> no_writer_since{};
};

// Reads both files whole: the done folder's file of an input's name may be a copy of it that a
// watcher killed after copying made.
bool SameBytes(const std::string& a, const std::string& b) {
  const std::optional<FileState> first = StateOf(a);
  const std::optional<FileState> second = StateOf(b);
  if (!first || !second || first->size != second->size) return false;
  const Result<std::unique_ptr<ByteSource>> one = OpenInputFile(a);
  const Result<std::unique_ptr<ByteSource>> other = OpenInputFile(b);
  if (!one || !other) return false;
  std::vector<char> left(1 << 16);
  std::vector<char> right(1 << 16);
  for (;;) {
    const Result<std::size_t> read = (*one)->Read(left.data(), left.size());
    if (!read) return false;
    std::size_t matched = 0;
    while (matched < *read) {
      const Result<std::size_t> more = (*other)->Read(right.data() + matched, *read - matched);
      if (!more || *more == 0) return false;
      matched += *more;
    }
    if (std::memcmp(left.data(), right.data(), *read) != 0) return false;
    if (*read == 0) return true;
  }
}

void RemoveTemporaryFilesIn(const std::string& folder) {
  const Result<std::vector<FolderEntry>> entries = EntriesOf(folder);
  if (!entries) return;
  for (const FolderEntry& entry : *entries) {
    if (entry.kind == FolderEntry::Kind::kFile && IsTemporaryName(entry.name)) {
      RemoveFile(JoinPath(folder, entry.name));
    }
  }
}

class Loop {
 public:
  Loop(const ConverterForNextFile& converter, const WatchFolders& folders, FolderWatch& watch,
       const WatchReport& report, const std::atomic<bool>& stop)
      : converter_(converter), folders_(folders), watch_(watch), report_(report), stop_(stop) {}

  void Run() {
    RemoveTemporaryFilesIn(folders_.output);
    if (folders_.done) RemoveTemporaryFilesIn(*folders_.done);
    Rescan();
    while (!Stopped()) {
      ConvertDue();
      if (Stopped()) break;
      for (const FolderChange& change : watch_.Wait(TimeUntilDue())) Apply(change);
    }
  }

 private:
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
  std::string InputPath(const std::string& name) const { return JoinPath(folders_.input, name); }

  void Report(WatchEvent::Kind kind, const std::string& name, std::string path = {},
              std::string detail = {}, const FileResult* result = nullptr, seconds retry = {}) {
    report_({kind, name.empty() ? std::string() : InputPath(name), std::move(path),
             std::move(detail), result, retry});
  }

  // Every name of the folder looked at afresh: at the start, and where changes were lost.
  void Rescan() {
    const Result<std::vector<FolderEntry>> entries = EntriesOf(folders_.input);
    if (!entries) {
      Report(WatchEvent::Kind::kUnreadable, {}, folders_.input);
      return;
    }
    std::set<std::string> present;
    std::set<std::string> special;
    for (const FolderEntry& entry : *entries) {
      if (entry.hidden || IsIgnoredByWatch(entry.name)) continue;
      if (entry.kind == FolderEntry::Kind::kOther && IsSpecialFile(InputPath(entry.name))) {
        special.insert(entry.name);
        NoteSpecial(entry.name);
      }
      if (entry.kind != FolderEntry::Kind::kFile) continue;
      present.insert(entry.name);
      const auto known = pending_.find(entry.name);
      if (known != pending_.end()) {
        known->second.found = true;  // its writer's close may have been among the changes lost
        continue;
      }
      const std::optional<FileState> state = StateOf(InputPath(entry.name));
      if (!state || state->hidden) continue;
      const auto settled = settled_.find(entry.name);
      if (settled != settled_.end() && settled->second == *state) continue;
      const Clock::time_point now = Clock::now();
      if (OutputUpToDate(entry.name, *state)) {
        settled_[entry.name] = *state;
        // Converted by a watcher that was stopped before it moved the input.
        if (folders_.done) pending_[entry.name] = {*state, now, now, false, true};
        continue;
      }
      pending_[entry.name] = {.seen = *state, .since = now, .due = now, .found = true};
    }
    std::erase_if(settled_, [&](const auto& item) { return !present.contains(item.first); });
    std::erase_if(special_, [&](const std::string& name) { return !special.contains(name); });
  }

  // A FIFO, socket or device: said once, and again only after it went.
  void NoteSpecial(const std::string& name) {
    if (special_.insert(name).second) Report(WatchEvent::Kind::kNotRegular, name);
  }

  bool OutputUpToDate(const std::string& name, const FileState& input) const {
    const std::optional<FileState> output =
        StateOf(OutputPathFor(InputPath(name), folders_.output));
    return output && output->modified >= std::max(input.modified, input.changed);
  }

  void Apply(const FolderChange& change) {
    using Kind = FolderChange::Kind;
    if (change.kind == Kind::kRescan) return Rescan();
    if (IsIgnoredByWatch(change.name)) return;
    const std::optional<FileState> state =
        change.kind == Kind::kGone ? std::nullopt : StateOf(InputPath(change.name));
    if (!state || state->hidden) {
      pending_.erase(change.name);
      settled_.erase(change.name);
      if (change.kind != Kind::kGone && !state && IsSpecialFile(InputPath(change.name))) {
        NoteSpecial(change.name);
      } else {
        special_.erase(change.name);
      }
      return;
    }
    special_.erase(change.name);
    // An event of a change seen already: a late one, or one of the watcher's own reading.
    const auto settled = settled_.find(change.name);
    if (settled != settled_.end() && settled->second == *state) return;
    const auto known = pending_.find(change.name);
    if (known != pending_.end() && known->second.seen == *state && change.kind == Kind::kTouched) {
      return;
    }
    const Clock::time_point now = Clock::now();
    pending_[change.name] = {*state, now, now, change.kind == Kind::kWritten};
  }

  milliseconds TimeUntilDue() const {
    const Clock::time_point now = Clock::now();
    Clock::time_point next = now + std::chrono::hours(1);
    if (disk_full_ && now < disk_full_until_) {
      next = disk_full_until_;  // every file waits for the disk
    } else {
      for (const auto& [name, pending] : pending_) next = std::min(next, pending.due);
    }
    return std::max(milliseconds{0}, std::chrono::ceil<milliseconds>(next - now));
  }

  void ConvertDue() {
    std::vector<std::pair<Clock::time_point, std::string>> due;
    const Clock::time_point now = Clock::now();
    if (disk_full_ && now < disk_full_until_) return;
    for (const auto& [name, pending] : pending_) {
      if (pending.due <= now) due.emplace_back(pending.since, name);
    }
    std::sort(due.begin(), due.end());  // the oldest change first
    for (const auto& [since, name] : due) {
      if (Stopped() || (disk_full_ && Clock::now() < disk_full_until_)) return;
      Look(name);
    }
  }

  void Look(const std::string& name) {
    Pending& pending = pending_.at(name);
    const std::string path = InputPath(name);
    const std::optional<FileState> state = StateOf(path);
    if (!state) {
      pending_.erase(name);
      return;
    }
    const Clock::time_point now = Clock::now();
    if (*state != pending.seen) {
      const Clock::duration settle = SettleOf(pending);
      pending = {.seen = *state, .since = now, .due = now + settle, .found = pending.found};
      return;
    }
    if (pending.move_only) return MoveToDone(name, pending);
    const Writers writers = OtherWritersOf(path);
    if (writers != Writers::kNone) {
      pending.no_writer_since.reset();
    } else if (!pending.no_writer_since) {
      pending.no_writer_since = now;
    }
    if (writers == Writers::kSome) {
      pending.due = now + kWriterRecheck;
      return;
    }
    const Clock::time_point complete_at = CompleteAt(pending);
    if (now < complete_at) {
      pending.due = complete_at;
      return;
    }
    Convert(name, pending);
  }

  // When a file that no one writes now counts as complete if it stays as it is. Where the watch
  // reports writers' closes: at once after a close or a rename into the folder; for a file found
  // by a look at the whole folder (whose close, if any, came before the watch, or was lost), once
  // two looks a recheck apart found it unchanged without a writer, or once it stayed unchanged
  // for the settling time where the kernel will not say; for a file that an event marked without
  // a close (created, its attributes changed), once unchanged for the long settling time, its
  // close being still to come. Elsewhere, once unchanged for the settling time.
  Clock::time_point CompleteAt(const Pending& pending) const {
    Clock::time_point at = pending.since + SettleOf(pending);
    if (!watch_.ReportsClose()) return at;
    if (pending.closed) return pending.since;
    if (pending.found && pending.no_writer_since) {
      at = std::min(at, *pending.no_writer_since + kWriterRecheck);
    }
    return at;
  }

  // How long a file stays unchanged before it counts as complete where no one says so: the
  // watch's settling time, but longer for a file that an event marked on a watch that reports
  // writers' closes, since its close is still to come.
  Clock::duration SettleOf(const Pending& pending) const {
    if (watch_.ReportsClose() && !pending.found) return kUnchangedWithoutClose;
    return watch_.Settle();
  }

  void Convert(const std::string& name, Pending& pending) {
    const std::string path = InputPath(name);
    const FileState state = pending.seen;
    const auto settle = [&] {
      settled_[name] = state;
      pending_.erase(name);
    };
    if (LinkLeadsOutOf(path, folders_.input)) {
      Report(WatchEvent::Kind::kLinkOut, name);
      return settle();
    }
    if (const std::optional<std::string> other = OtherInputOfSameOutput(name)) {
      Report(WatchEvent::Kind::kSameOutput, name, InputPath(*other));
      return settle();
    }
    const FileResult result =
        converter_().ConvertFile({path, folders_.output, true, nullptr}, {}, &stop_);
    if (result.outcome == Outcome::kCancelled) return;
    if (result.outcome == Outcome::kDone) {
      if (disk_full_) {
        disk_full_ = false;
        disk_pause_ = seconds{0};
        Report(WatchEvent::Kind::kWritingAgain, {}, folders_.output);
      }
      Report(WatchEvent::Kind::kConverted, name, result.output, {}, &result);
      settled_[name] = state;
      if (!folders_.done) {
        pending_.erase(name);
        return;
      }
      pending = {state, pending.since, Clock::now(), false, true};
      return MoveToDone(name, pending);
    }
    const Clock::time_point now = Clock::now();
    if (result.failure == Failure::kDiskFull) {
      disk_pause_ = Longer(disk_pause_);
      if (!disk_full_) Report(WatchEvent::Kind::kDiskFull, name, {}, {}, &result, disk_pause_);
      disk_full_ = true;
      disk_full_until_ = now + disk_pause_;
      pending.due = disk_full_until_;
      return;
    }
    if (OfTheOutput(result.failure)) {
      pending.pause = Longer(pending.pause);
      pending.due = now + pending.pause;
      if (!pending.reported) {
        Report(WatchEvent::Kind::kNotWritten, name, {}, {}, &result, pending.pause);
      }
      pending.reported = true;
      return;
    }
    // Not a fault of the file when it changed or went meanwhile, or a writer came back.
    const std::optional<FileState> now_state = StateOf(path);
    if (!now_state) {
      pending_.erase(name);
    } else if (*now_state != state || OtherWritersOf(path) == Writers::kSome) {
      pending = {
          .seen = *now_state, .since = now, .due = now + kWriterRecheck, .found = pending.found};
    } else {
      Report(WatchEvent::Kind::kFailed, name, {}, {}, &result);
      settle();
    }
  }

  // calls and calls.csv both give calls.converted.csv.
  std::optional<std::string> OtherInputOfSameOutput(const std::string& name) const {
    constexpr std::string_view kCsv = ".csv";
    const std::string other =
        name.ends_with(kCsv) ? name.substr(0, name.size() - kCsv.size()) : name + std::string(kCsv);
    if (other.empty() || IsIgnoredByWatch(other) ||
        OutputPathFor(other, std::nullopt) != OutputPathFor(name, std::nullopt)) {
      return std::nullopt;
    }
    const std::optional<FileState> state = StateOf(InputPath(other));
    if (!state || state->hidden) return std::nullopt;
    return other;
  }

  void MoveToDone(const std::string& name, Pending& pending) {
    const std::string from = InputPath(name);
    std::optional<SystemError> failed;  // for another reason than a name taken
    for (int number = 0; number < kMoveNames; ++number) {
      const std::string moved_name = number == 0 ? name : name + "." + std::to_string(number);
      const std::string to = JoinPath(*folders_.done, moved_name);
      std::optional<SystemError> moved = MoveWithoutReplacing(from, to);
      if (moved && moved->OtherVolume()) {
        moved = CopyWithoutReplacing(from, to);
        if (!moved) moved = RemoveFile(from);
      }
      if (moved && moved->NameTaken() && SameBytes(from, to)) {
        // A copy made before a stop; only the removal was left.
        moved = RemoveFile(from);
      }
      if (moved && moved->NameTaken()) continue;
      if (!moved) {
        if (number > 0) Report(WatchEvent::Kind::kMovedAs, name, to);
        settled_.erase(name);
        pending_.erase(name);
        return;
      }
      failed = std::move(moved);
      break;
    }
    if (!StateOf(from)) {  // gone meanwhile: nothing left to move
      settled_.erase(name);
      pending_.erase(name);
      return;
    }
    pending.pause = Longer(pending.pause);
    pending.due = Clock::now() + pending.pause;
    if (!pending.reported) {
      Report(WatchEvent::Kind::kNotMoved, name, *folders_.done,
             failed ? failed->text : "every name taken", nullptr, pending.pause);
    }
    pending.reported = true;
  }

  const ConverterForNextFile& converter_;
  const WatchFolders& folders_;
  FolderWatch& watch_;
  const WatchReport& report_;
  const std::atomic<bool>& stop_;
  std::map<std::string, Pending> pending_;
  // The state in which each file was converted, found converted or failed: nothing to do until
  // it changes.
  std::map<std::string, FileState> settled_;
  std::set<std::string> special_;  // the FIFOs, sockets and devices reported
  bool disk_full_ = false;
  seconds disk_pause_{0};
  Clock::time_point disk_full_until_;
};

}  // namespace

bool IsIgnoredByWatch(std::string_view name) {
  return name.empty() || LeftOutByName(name).has_value();
}

void WatchAndConvert(const ConverterForNextFile& converter, const WatchFolders& folders,
                     FolderWatch& watch, const WatchReport& report, const std::atomic<bool>& stop) {
  Loop(converter, folders, watch, report, stop).Run();
}

}  // namespace halvrenn::cdr
