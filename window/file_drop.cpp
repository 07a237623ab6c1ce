#include "file_drop.h"

#include <algorithm>
#include <utility>

#include "byte_streams.h"
#include "summary_text.h"

namespace halvrenn {
namespace {

// A folder's own files, sorted. Hidden files and the outputs of an earlier conversion are left
// out: converting calls.converted.csv again would add its columns twice.
std::vector<std::string> FilesInFolder(const std::string& folder) {
  std::vector<std::string> files = cdr::RegularFilesIn(folder);
  std::erase_if(files, [](const std::string& file) {
    const std::string name = cdr::FileNameOf(file);
    return name.starts_with('.') || cdr::IsOutputName(name);
  });
  std::sort(files.begin(), files.end());
  return files;
}

bool OutputExists(const std::string& input) {
  return cdr::PathExists(cdr::OutputPathFor(input, std::nullopt));
}

}  // namespace

std::vector<std::string> FilesOfDrop(const std::vector<std::string>& dropped) {
  std::vector<std::string> files;
  for (const std::string& path : dropped) {
    if (cdr::IsFolder(path)) {
      const std::vector<std::string> inside = FilesInFolder(path);
      files.insert(files.end(), inside.begin(), inside.end());
    } else {
      files.push_back(path);
    }
  }
  return files;
}

std::vector<std::string> FilesWithExistingOutput(const std::vector<std::string>& files) {
  std::vector<std::string> existing;
  std::copy_if(files.begin(), files.end(), std::back_inserter(existing), OutputExists);
  return existing;
}

FileDropJob::FileDropJob(std::vector<std::string> files, bool replace_existing,
                         std::function<void(const DropProgress&)> progress,
                         std::function<void()> finished)
    : files_(std::move(files)),
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
  std::vector<std::uint64_t> sizes;
  std::uint64_t total = 0;
  for (const std::string& file : files_) {
    total += sizes.emplace_back(cdr::FileSizeOf(file).value_or(0));
  }

  DropProgress shown{0, files_.size(), {}, -1};
  const auto report = [this, &shown](std::size_t index, std::uint64_t done, std::uint64_t all) {
    // By bytes; where nothing has a size, by files.
    const int percent =
        all > 0 ? static_cast<int>(done * 100 / all)
                : static_cast<int>(index * 100 / std::max<std::size_t>(1, files_.size()));
    if (index == shown.file_index && percent == shown.percent) return;
    shown.file_index = index;
    shown.file = files_[index];
    shown.percent = std::min(percent, 100);
    if (progress_) progress_(shown);
  };

  std::string error;
  const std::unique_ptr<cdr::Converter> converter =
      cdr::Converter::Create(cdr::Options{}, MachineZoneRules(), error);
  std::uint64_t done = 0;
  for (std::size_t index = 0; index < files_.size(); ++index) {
    DroppedFile& outcome = outcomes_.emplace_back();
    outcome.input = files_[index];
    outcome.result.output = cdr::OutputPathFor(files_[index], std::nullopt);
    if (cancel_.load(std::memory_order_relaxed)) continue;  // stays kCancelled
    report(index, done, total);
    if (!converter) {
      outcome.state = DroppedFile::State::kFailed;
      outcome.result.error = error;
    } else if (!replace_existing_ && OutputExists(files_[index])) {
      outcome.state = DroppedFile::State::kKept;
    } else {
      const cdr::ProgressCallback on_progress = [&](const cdr::Progress& progress) {
        report(index, done + std::min(progress.bytes_read, sizes[index]), total);
      };
      outcome.result = converter->ConvertFile({files_[index], std::nullopt, replace_existing_},
                                              on_progress, &cancel_);
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

std::string DropReportText(const std::vector<DroppedFile>& outcomes) {
  // A file without a time-stamp column is copied, not converted.
  const auto converted = std::count_if(outcomes.begin(), outcomes.end(), [](const DroppedFile& f) {
    return f.state == DroppedFile::State::kConverted && f.result.summary.time_columns > 0;
  });
  std::string text = "Converted " + std::to_string(converted) + " of " +
                     std::to_string(outcomes.size()) +
                     (outcomes.size() == 1 ? " file." : " files.");
  for (const DroppedFile& file : outcomes) {
    const std::string name = cdr::FileNameOf(file.input);
    const std::string& output = file.result.output;
    text += "\n\n";
    switch (file.state) {
      case DroppedFile::State::kConverted:
        if (file.result.summary.time_columns == 0) {
          text += name + ": no time-stamp column; copied unchanged";
        } else {
          text += name + ": " + cdr::SummaryText(file.result.summary);
        }
        text += "\n-> " + output;
        break;
      case DroppedFile::State::kKept:
        text += name;
        text += ": skipped; ";
        text += output;
        text += " already exists";
        break;
      case DroppedFile::State::kFailed:
        text += name + ": " + file.result.error;
        break;
      case DroppedFile::State::kCancelled:
        text += name + ": cancelled; nothing written";
        break;
    }
  }
  return text;
}

DropReportKind DropReportKindOf(const std::vector<DroppedFile>& outcomes) {
  const auto count = [&](DroppedFile::State state) {
    return std::count_if(outcomes.begin(), outcomes.end(),
                         [state](const DroppedFile& file) { return file.state == state; });
  };
  if (count(DroppedFile::State::kConverted) == 0) return DropReportKind::kError;
  if (count(DroppedFile::State::kConverted) < static_cast<std::ptrdiff_t>(outcomes.size())) {
    return DropReportKind::kWarning;
  }
  return DropReportKind::kInformation;
}

std::optional<std::string> FolderOfOutputs(const std::vector<DroppedFile>& outcomes) {
  for (const DroppedFile& file : outcomes) {
    if (file.state == DroppedFile::State::kConverted) return cdr::FolderOf(file.result.output);
  }
  return std::nullopt;
}

}  // namespace halvrenn
