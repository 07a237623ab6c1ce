#include "window/file_drop.h"

#include <algorithm>
#include <utility>

#include "cdr/files/file_facts.h"
#include "cdr/files/paths.h"

namespace halvrenn {
namespace {

bool OutputExists(const std::string& input) {
  return cdr::PathExists(cdr::OutputPathFor(input, std::nullopt));
}

}  // namespace

DropFiles FilesOfDrop(const std::vector<std::string>& dropped) {
  DropFiles drop;
  for (const std::string& given : dropped) {
    std::string path = cdr::AbsolutePath(given);
    if (!cdr::IsFolder(path)) {
      drop.files.push_back(std::move(path));
      continue;
    }
    cdr::FolderFiles inside = cdr::FilesOfFolder(path);
    std::move(inside.files.begin(), inside.files.end(), std::back_inserter(drop.files));
    std::move(inside.skipped.begin(), inside.skipped.end(), std::back_inserter(drop.skipped));
  }
  return drop;
}

std::vector<std::string> FilesWithExistingOutput(const std::vector<std::string>& files) {
  std::vector<std::string> existing;
  std::copy_if(files.begin(), files.end(), std::back_inserter(existing), OutputExists);
  return existing;
}

FileDropJob::FileDropJob(DropFiles drop, bool replace_existing,
                         std::function<void(const DropProgress&)> progress,
                         std::function<void()> finished)
    : drop_(std::move(drop)),
      replace_existing_(replace_existing),
      progress_(std::move(progress)),
      finished_(std::move(finished)),
      worker_([this] { Run(); }) {}

FileDropJob::~FileDropJob() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void FileDropJob::Cancel() { cancel_.store(true, std::memory_order_relaxed); }

void FileDropJob::Run() {
  const std::vector<std::string>& files = drop_.files;
  std::vector<std::uint64_t> sizes;
  std::uint64_t total = 0;
  for (const std::string& file : files) {
    total += sizes.emplace_back(cdr::FileSizeOf(file).value_or(0));
  }

  DropProgress shown{0, files.size(), {}, -1};
  const auto report = [&](std::size_t index, std::uint64_t done, std::uint64_t all) {
    // By bytes; where nothing has a size, by files.
    const int percent =
        all > 0 ? static_cast<int>(done * 100 / all)
                : static_cast<int>(index * 100 / std::max<std::size_t>(1, files.size()));
    if (index == shown.file_index && percent == shown.percent) return;
    shown.file_index = index;
    shown.file = files[index];
    shown.percent = std::min(percent, 100);
    if (progress_) progress_(shown);
  };

  std::string error;
  const std::unique_ptr<cdr::Converter> converter =
      cdr::Converter::Create(cdr::Options{}, MachineZoneRules(), error);
  cdr::OutputsOfRun outputs;
  std::uint64_t done = 0;
  for (std::size_t index = 0; index < files.size(); ++index) {
    DroppedFile& outcome = outcomes_.emplace_back();
    outcome.input = files[index];
    outcome.result.output = cdr::OutputPathFor(files[index], std::nullopt);
    if (cancel_.load(std::memory_order_relaxed)) continue;  // stays kCancelled
    report(index, done, total);
    if (!converter) {
      outcome.state = DroppedFile::State::kFailed;
      outcome.result.error = error;
    } else if (!replace_existing_ && OutputExists(files[index]) &&
               !outputs.Wrote(outcome.result.output)) {
      outcome.state = DroppedFile::State::kKept;
    } else {
      const cdr::ProgressCallback on_progress = [&](const cdr::Progress& progress) {
        report(index, done + std::min(progress.bytes_read, sizes[index]), total);
      };
      outcome.result = converter->ConvertFile(
          {files[index], std::nullopt, replace_existing_, &outputs}, on_progress, &cancel_);
      switch (outcome.result.outcome) {
        case cdr::Outcome::kDone:
          outcome.state = DroppedFile::State::kConverted;
          break;
        case cdr::Outcome::kFailed:
          outcome.state = DroppedFile::State::kFailed;
          break;
        case cdr::Outcome::kCancelled:
          outcome.state = DroppedFile::State::kCancelled;
          break;
      }
    }
    done += sizes[index];
  }
  if (finished_) finished_();
}

ScreenRect PlaceBeside(const ScreenRect& owner, int width, int height, const ScreenRect& area) {
  // Lined up with the owner's left or top edge, moved back inside the work area where it would
  // leave it.
  const auto within = [](int start, int size, int low, int high) {
    return std::max(low, std::min(start, high - size));
  };
  const int x = within(owner.left, width, area.left, area.right);
  const int y = within(owner.top, height, area.top, area.bottom);
  if (owner.bottom + height <= area.bottom) {
    return {x, owner.bottom, x + width, owner.bottom + height};
  }
  if (owner.top - height >= area.top) return {x, owner.top - height, x + width, owner.top};
  if (owner.right + width <= area.right) {
    return {owner.right, y, owner.right + width, y + height};
  }
  if (owner.left - width >= area.left) return {owner.left - width, y, owner.left, y + height};
  const int top = std::max(area.top, std::min(owner.bottom, area.bottom - height));
  return {x, top, x + width, top + height};
}

}  // namespace halvrenn
