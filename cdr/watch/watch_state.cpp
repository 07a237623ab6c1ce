#include "cdr/watch/watch_state.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "cdr/files/byte_streams.h"
#include "cdr/files/paths.h"

namespace halvrenn::cdr {
namespace {

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

seconds Longer(seconds pause) {
  return pause == seconds{0} ? kFirstRetry : std::min(pause * 2, kLongestRetry);
}

bool OfTheOutput(Failure failure) {
  return failure == Failure::kCannotCreate || failure == Failure::kCannotWrite ||
         failure == Failure::kExists || failure == Failure::kWrittenThisRun;
}

WatchAction Ask(WatchAction::Kind kind, const std::string& name) { return {kind, name}; }

}  // namespace

WatchState::WatchState(WatchFolders folders, bool reports_close, milliseconds settle)
    : folders_(std::move(folders)), reports_close_(reports_close), settle_(settle) {}

WatchAction WatchState::Report(WatchEvent::Kind kind, const std::string& name, std::string path,
                               std::string detail, const FileResult* result, seconds retry) const {
  return {WatchAction::Kind::kReport,
          name,
          {kind, name.empty() ? std::string() : JoinPath(folders_.input, name), std::move(path),
           std::move(detail), result, retry}};
}

// A FIFO, socket or device: said once, and again only after it went.
void WatchState::NoteSpecial(const std::string& name, WatchActions& actions) {
  if (special_.insert(name).second) actions.push_back(Report(WatchEvent::Kind::kNotRegular, name));
}

// Nothing to do for the file until it changes.
WatchActions WatchState::Settle(const std::string& name, WatchActions actions) {
  settled_[name] = pending_.at(name).seen;
  pending_.erase(name);
  return actions;
}

// Every name of the folder looked at afresh: at the start, and where changes were lost.
WatchActions WatchState::Listed(const std::optional<std::vector<NameFacts>>& names, Time now) {
  if (!names) return {Report(WatchEvent::Kind::kUnreadable, {}, folders_.input)};
  WatchActions actions;
  std::set<std::string> present;
  std::set<std::string> special;
  for (const NameFacts& facts : *names) {
    const std::string& name = facts.name;
    if (facts.special) {
      special.insert(name);
      NoteSpecial(name, actions);
      continue;
    }
    present.insert(name);
    const auto known = pending_.find(name);
    if (known != pending_.end()) {
      known->second.found = true;  // its writer's close may have been among the changes lost
      continue;
    }
    if (!facts.state || facts.state->hidden) continue;
    const FileState& state = *facts.state;
    const auto settled = settled_.find(name);
    if (settled != settled_.end() && settled->second == state) continue;
    const std::size_t place = present.size();
    if (facts.output && facts.output->modified >= std::max(state.modified, state.changed)) {
      settled_[name] = state;
      // Converted by a watcher that was stopped before it moved the input.
      if (folders_.done) {
        pending_[name] = {
            .seen = state, .since = now, .due = now, .move_only = true, .place = place};
      }
      continue;
    }
    pending_[name] = {.seen = state, .since = now, .due = now, .found = true, .place = place};
  }
  std::erase_if(settled_, [&](const auto& item) { return !present.contains(item.first); });
  std::erase_if(special_, [&](const std::string& name) { return !special.contains(name); });
  return actions;
}

WatchActions WatchState::Changed(FolderChange::Kind kind, const NameFacts& facts, Time now) {
  using Kind = FolderChange::Kind;
  const std::string& name = facts.name;
  if (!facts.state || facts.state->hidden) {
    pending_.erase(name);
    settled_.erase(name);
    WatchActions actions;
    if (kind != Kind::kGone && !facts.state && facts.special) {
      NoteSpecial(name, actions);
    } else {
      special_.erase(name);
    }
    return actions;
  }
  special_.erase(name);
  const FileState& state = *facts.state;
  // An event of a change seen already: a late one, or one of the watcher's own reading.
  const auto settled = settled_.find(name);
  if (settled != settled_.end() && settled->second == state) return {};
  const auto known = pending_.find(name);
  if (known != pending_.end() && known->second.seen == state && kind == Kind::kTouched) return {};
  pending_[name] = {.seen = state, .since = now, .due = now, .closed = kind == Kind::kWritten};
  return {};
}

bool WatchState::HeldBack(Time now) const { return disk_full_ && now < disk_full_until_; }

WatchActions WatchState::Due(Time now) const {
  if (HeldBack(now)) return {};
  std::vector<std::tuple<Time, std::size_t, std::string>> due;
  for (const auto& [name, pending] : pending_) {
    if (pending.due <= now) due.emplace_back(pending.since, pending.place, name);
  }
  std::sort(due.begin(), due.end());  // the oldest change first
  WatchActions looks;
  for (const auto& [since, place, name] : due) looks.push_back(Ask(WatchAction::Kind::kLook, name));
  return looks;
}

milliseconds WatchState::TimeUntilDue(Time now) const {
  Time next = now + std::chrono::hours(1);
  if (HeldBack(now)) {
    next = disk_full_until_;  // every file waits for the disk
  } else {
    for (const auto& [name, pending] : pending_) next = std::min(next, pending.due);
  }
  return std::max(milliseconds{0}, std::chrono::ceil<milliseconds>(next - now));
}

WatchActions WatchState::Looked(const std::string& name, const std::optional<FileState>& state,
                                Time now) {
  const auto known = pending_.find(name);
  if (known == pending_.end()) return {};
  Pending& pending = known->second;
  if (!state) {
    pending_.erase(known);
    return {};
  }
  if (*state != pending.seen) {
    // After a failed conversion, not a fault of the file: it changed meanwhile.
    const WatchClock::duration settle = pending.failed ? kWriterRecheck : SettleOf(pending);
    pending = {.seen = *state, .since = now, .due = now + settle, .found = pending.found};
    return {};
  }
  if (pending.move_only) return {Ask(WatchAction::Kind::kMoveToDone, name)};
  return {Ask(WatchAction::Kind::kAskWriters, name)};
}

WatchActions WatchState::WritersAre(const std::string& name, Writers writers, Time now) {
  const auto known = pending_.find(name);
  if (known == pending_.end()) return {};
  Pending& pending = known->second;
  if (pending.failed) {
    // Not a fault of the file when a writer came back.
    if (writers == Writers::kSome) {
      pending = {
          .seen = pending.seen, .since = now, .due = now + kWriterRecheck, .found = pending.found};
      return {};
    }
    return Settle(name, {Report(WatchEvent::Kind::kFailed, name, {}, {}, &failure_)});
  }
  if (writers != Writers::kNone) {
    pending.no_writer_since.reset();
  } else if (!pending.no_writer_since) {
    pending.no_writer_since = now;
  }
  if (writers == Writers::kSome) {
    pending.due = now + kWriterRecheck;
    return {};
  }
  const Time complete_at = CompleteAt(pending);
  if (now < complete_at) {
    pending.due = complete_at;
    return {};
  }
  return {Ask(WatchAction::Kind::kConvert, name)};
}

// When a file that no one writes now counts as complete if it stays as it is. Where the watch
// reports writers' closes: at once after a close or a rename into the folder; for a file found
// by a look at the whole folder (whose close, if any, came before the watch, or was lost), once
// two looks a recheck apart found it unchanged without a writer, or once it stayed unchanged
// for the settling time where the kernel will not say; for a file that an event marked without
// a close (created, its attributes changed), once unchanged for the long settling time, its
// close being still to come. Elsewhere, once unchanged for the settling time.
WatchState::Time WatchState::CompleteAt(const Pending& pending) const {
  Time at = pending.since + SettleOf(pending);
  if (!reports_close_) return at;
  if (pending.closed) return pending.since;
  if (pending.found && pending.no_writer_since) {
    at = std::min(at, *pending.no_writer_since + kWriterRecheck);
  }
  return at;
}

// How long a file stays unchanged before it counts as complete where no one says so: the
// watch's settling time, but longer for a file that an event marked on a watch that reports
// writers' closes, since its close is still to come.
WatchClock::duration WatchState::SettleOf(const Pending& pending) const {
  if (reports_close_ && !pending.found) return kUnchangedWithoutClose;
  return settle_;
}

WatchActions WatchState::LeftAlone(const std::string& name, WatchEvent::Kind why,
                                   std::string path) {
  return Settle(name, {Report(why, name, std::move(path))});
}

WatchActions WatchState::Converted(const std::string& name, const FileResult& result, Time now) {
  Pending& pending = pending_.at(name);
  if (result.outcome == Outcome::kCancelled) return {};
  if (result.outcome == Outcome::kDone) {
    WatchActions actions;
    if (disk_full_) {
      disk_full_ = false;
      disk_pause_ = seconds{0};
      actions.push_back(Report(WatchEvent::Kind::kWritingAgain, {}, folders_.output));
    }
    actions.push_back(Report(WatchEvent::Kind::kConverted, name, result.output, {}, &result));
    if (!folders_.done) return Settle(name, std::move(actions));
    settled_[name] = pending.seen;
    pending = {.seen = pending.seen, .since = pending.since, .due = now, .move_only = true};
    actions.push_back(Ask(WatchAction::Kind::kMoveToDone, name));
    return actions;
  }
  if (result.failure == Failure::kDiskFull) {
    WatchActions actions;
    disk_pause_ = Longer(disk_pause_);
    if (!disk_full_) {
      actions.push_back(Report(WatchEvent::Kind::kDiskFull, name, {}, {}, &result, disk_pause_));
    }
    disk_full_ = true;
    disk_full_until_ = now + disk_pause_;
    pending.due = disk_full_until_;
    return actions;
  }
  if (OfTheOutput(result.failure)) {
    pending.pause = Longer(pending.pause);
    pending.due = now + pending.pause;
    if (pending.reported) return {};
    pending.reported = true;
    return {Report(WatchEvent::Kind::kNotWritten, name, {}, {}, &result, pending.pause)};
  }
  // A fault of the file, unless it changed or went meanwhile, or a writer came back: looked at
  // again before it is reported.
  failure_ = result;
  pending.failed = true;
  return {Ask(WatchAction::Kind::kLook, name)};
}

WatchActions WatchState::Moved(const std::string& name, const MoveOutcome& outcome, Time now) {
  if (outcome.kind != MoveOutcome::Kind::kFailed) {
    WatchActions actions;
    if (outcome.renamed) actions.push_back(Report(WatchEvent::Kind::kMovedAs, name, outcome.path));
    settled_.erase(name);
    pending_.erase(name);
    return actions;
  }
  Pending& pending = pending_.at(name);
  pending.pause = Longer(pending.pause);
  pending.due = now + pending.pause;
  if (pending.reported) return {};
  pending.reported = true;
  return {Report(WatchEvent::Kind::kNotMoved, name, *folders_.done,
                 outcome.error.empty() ? "every name taken" : outcome.error, nullptr,
                 pending.pause)};
}

}  // namespace halvrenn::cdr
