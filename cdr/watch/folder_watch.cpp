// The scan of a folder every period, for folders that give no events (a network share): the
// same on every platform but for the wait, which a WakeSignal ends early.

#include "cdr/watch/folder_watch.h"

#include <map>
#include <utility>

#include "cdr/files/file_changes.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/paths.h"
#include "cdr/watch/wake_signal.h"

namespace halvrenn::cdr {
namespace {

using Clock = std::chrono::steady_clock;

class ScanningWatch final : public WakeableFolderWatch {
 public:
  ScanningWatch(std::string_view folder, std::chrono::milliseconds period)
      : WakeableFolderWatch(folder), period_(period) {
    Scan(last_);
    next_ = Clock::now() + period_;
  }

  std::vector<FolderChange> Wait(std::chrono::milliseconds timeout) override {
    const Clock::time_point now = Clock::now();
    if (now < next_) {
      const auto until_scan = std::chrono::ceil<std::chrono::milliseconds>(next_ - now);
      if (wake_.WaitFor(std::min(timeout, until_scan)) || Clock::now() < next_) return {};
    }
    next_ = Clock::now() + period_;
    std::map<std::string, FileState> current;
    // A folder that cannot be read for a while (a share gone) has lost nothing.
    if (!Scan(current)) return {};
    std::vector<FolderChange> changes;
    for (const auto& [name, state] : current) {
      const auto before = last_.find(name);
      if (before == last_.end() || before->second != state) {
        changes.push_back({FolderChange::Kind::kTouched, name});
      }
    }
    for (const auto& [name, state] : last_) {
      if (!current.contains(name)) changes.push_back({FolderChange::Kind::kGone, name});
    }
    last_ = std::move(current);
    return changes;
  }

  bool ReportsClose() const override { return false; }
  std::chrono::milliseconds Settle() const override { return period_; }

 private:
  bool Scan(std::map<std::string, FileState>& states) const {
    const Result<std::vector<FolderEntry>> entries = EntriesOf(folder_);
    if (!entries) return false;
    for (const FolderEntry& entry : *entries) {
      if (entry.kind == FolderEntry::Kind::kOther) {
        states.emplace(entry.name, FileState{});  // a FIFO, say: the loop tells what it is
      } else if (entry.kind == FolderEntry::Kind::kFile) {
        if (const std::optional<FileState> state = StateOf(JoinPath(folder_, entry.name))) {
          states.emplace(entry.name, *state);
        }
      }
    }
    return true;
  }

  std::chrono::milliseconds period_;
  std::map<std::string, FileState> last_;
  Clock::time_point next_;
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolderByScan(std::string_view folder,
                                               std::chrono::milliseconds period) {
  return std::make_unique<ScanningWatch>(folder, period);
}

}  // namespace halvrenn::cdr
