#include "cdr/watch/watch_loop.h"

#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "cdr/files/byte_streams.h"
#include "cdr/files/file_changes.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/file_moves.h"
#include "cdr/files/paths.h"
#include "cdr/files/temporary_files.h"
#include "cdr/folders/folder_files.h"
#include "cdr/watch/watch_state.h"

namespace halvrenn::cdr {
namespace {

using Clock = WatchClock;

// Names a move into the done folder may take when the plain one is taken: name.1, name.2, ...
constexpr int kMoveNames = 1000;

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
      : converter_(converter),
        folders_(folders),
        watch_(watch),
        report_(report),
        stop_(stop),
        state_(folders, watch.ReportsClose(), watch.Settle()) {}

  void Run() {
    RemoveTemporaryFilesIn(folders_.output);
    if (folders_.done) RemoveTemporaryFilesIn(*folders_.done);
    Rescan();
    while (!Stopped()) {
      for (const WatchAction& look : state_.Due(Clock::now())) {
        if (Stopped() || state_.HeldBack(Clock::now())) break;
        Carry(look);
      }
      if (Stopped()) break;
      for (const FolderChange& change : watch_.Wait(state_.TimeUntilDue(Clock::now()))) {
        Apply(change);
      }
    }
  }

 private:
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
  std::string InputPath(const std::string& name) const { return JoinPath(folders_.input, name); }

  void Carry(const WatchActions& actions) {
    for (const WatchAction& action : actions) Carry(action);
  }

  void Carry(const WatchAction& action) {
    const std::string& name = action.name;
    switch (action.kind) {
      case WatchAction::Kind::kLook:
        return Carry(state_.Looked(name, StateOf(InputPath(name)), Clock::now()));
      case WatchAction::Kind::kAskWriters:
        return Carry(state_.WritersAre(name, OtherWritersOf(InputPath(name)), Clock::now()));
      case WatchAction::Kind::kConvert:
        return Convert(name);
      case WatchAction::Kind::kMoveToDone: {
        const MoveOutcome outcome = MoveToDone(name);
        return Carry(state_.Moved(name, outcome, Clock::now()));
      }
      case WatchAction::Kind::kReport:
        return report_(action.event);
    }
  }

  // Every name of the folder looked at afresh: at the start, and where changes were lost.
  void Rescan() {
    const Result<std::vector<FolderEntry>> entries = EntriesOf(folders_.input);
    if (!entries) return Carry(state_.Listed(std::nullopt, Clock::now()));
    std::vector<NameFacts> names;
    for (const FolderEntry& entry : *entries) {
      if (entry.hidden || IsIgnoredByWatch(entry.name)) continue;
      const std::string path = InputPath(entry.name);
      if (entry.kind == FolderEntry::Kind::kOther && IsSpecialFile(path)) {
        names.push_back({.name = entry.name, .special = true});
      } else if (entry.kind == FolderEntry::Kind::kFile) {
        NameFacts facts{.name = entry.name, .state = StateOf(path)};
        if (facts.state) facts.output = StateOf(OutputPathFor(path, folders_.output));
        names.push_back(std::move(facts));
      }
    }
    Carry(state_.Listed(names, Clock::now()));
  }

  void Apply(const FolderChange& change) {
    using Kind = FolderChange::Kind;
    if (change.kind == Kind::kRescan) return Rescan();
    if (IsIgnoredByWatch(change.name)) return;
    const std::string path = InputPath(change.name);
    NameFacts facts{.name = change.name};
    if (change.kind != Kind::kGone) {
      facts.state = StateOf(path);
      facts.special = !facts.state && IsSpecialFile(path);
    }
    Carry(state_.Changed(change.kind, facts, Clock::now()));
  }

  void Convert(const std::string& name) {
    const std::string path = InputPath(name);
    if (LinkLeadsOutOf(path, folders_.input)) {
      return Carry(state_.LeftAlone(name, WatchEvent::Kind::kLinkOut, {}));
    }
    if (const std::optional<std::string> other = OtherInputOfSameOutput(name)) {
      return Carry(state_.LeftAlone(name, WatchEvent::Kind::kSameOutput, InputPath(*other)));
    }
    const FileResult result =
        converter_().ConvertFile({path, folders_.output, true, nullptr}, {}, &stop_);
    Carry(state_.Converted(name, result, Clock::now()));
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

  // Under the input's own name, else name.1, name.2, ...; across volumes by a copy.
  MoveOutcome MoveToDone(const std::string& name) {
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
      if (!moved) return {MoveOutcome::Kind::kMoved, to, number > 0};
      failed = std::move(moved);
      break;
    }
    // Gone meanwhile: nothing left to move.
    if (!StateOf(from)) return {MoveOutcome::Kind::kGone};
    return {MoveOutcome::Kind::kFailed, {}, false, failed ? failed->text : std::string()};
  }

  const ConverterForNextFile& converter_;
  const WatchFolders& folders_;
  FolderWatch& watch_;
  const WatchReport& report_;
  const std::atomic<bool>& stop_;
  WatchState state_;
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
