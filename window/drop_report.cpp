#include "window/drop_report.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

#include "cdr/files/paths.h"
#include "cdr/format/summary_text.h"
#include "time/locale_and_zone.h"
#include "window/file_drop_texts.h"

namespace halvrenn {
namespace {

using State = DroppedFile::State;

// The report is made of many small pieces: appended in place, without a temporary string each.
void Put(std::string& text, std::initializer_list<std::string_view> pieces) {
  for (const std::string_view piece : pieces) text += piece;
}

// A file without a time-stamp column is copied, not converted.
bool Copied(const DroppedFile& file) {
  return file.state == State::kConverted &&
         file.result.summary.ColumnsOf(cdr::ColumnKind::kTime) == 0;
}

// The list's order, what needs the user first: failed, cancelled, skipped, copied, converted.
enum Rank : unsigned char { kFailedRank, kCancelledRank, kKeptRank, kCopiedRank, kConvertedRank };

Rank RankOf(const DroppedFile& file) {
  switch (file.state) {
    case State::kFailed:
      return kFailedRank;
    case State::kCancelled:
      return kCancelledRank;
    case State::kKept:
      return kKeptRank;
    case State::kConverted:
      break;
  }
  return Copied(file) ? kCopiedRank : kConvertedRank;
}

// Why a file failed, naming the output when the failure is the output's, never repeating the
// input's path, which the paragraph gives once.
std::string FailureWords(const DroppedFile& file) {
  const cdr::FileResult& result = file.result;
  if (result.failure == cdr::Failure::kNone) return result.error;
  const bool input = result.failed_path.empty() || result.failed_path == file.input;
  return cdr::FailureText(result.failure, input ? "" : cdr::FileNameOf(result.failed_path),
                          result.detail);
}

void PutParagraph(std::string& text, const DroppedFile& file) {
  const cdr::Summary& summary = file.result.summary;
  // Names escaped, so that one with a line break cannot pass for a paragraph of its own.
  Put(text, {cdr::PrintableName(cdr::FileNameOf(file.input)), ": "});
  switch (file.state) {
    case State::kConverted:
      if (summary.ColumnsOf(cdr::ColumnKind::kTime) > 0) {
        text += cdr::SummaryText(summary, platform::GroupedCount);
        for (const std::string& warning : summary.warnings) Put(text, {"; warning: ", warning});
      } else if (!summary.warnings.empty()) {
        text += summary.warnings.front();
      } else {
        text += "no time-stamp column; copied unchanged";
      }
      Put(text, {"\n    -> ", cdr::PrintableName(file.result.output)});
      return;
    case State::kKept:
      Put(text, {"skipped; ", cdr::PrintableName(cdr::FileNameOf(file.result.output)),
                 " already exists"});
      break;
    case State::kFailed:
      text += FailureWords(file);
      break;
    case State::kCancelled:
      text += "cancelled; nothing written";
      break;
  }
  Put(text, {"\n    in ", cdr::PrintableName(cdr::FolderOf(file.input))});
}

std::string Totals(const std::vector<DroppedFile>& outcomes,
                   const std::vector<cdr::SkippedPath>& skipped) {
  std::array<std::size_t, 5> by_rank{};
  cdr::Tally sum;
  for (const DroppedFile& file : outcomes) {
    ++by_rank[RankOf(file)];
    if (RankOf(file) != kConvertedRank) continue;
    const cdr::Tally& tally = file.result.summary.tally;
    sum.records += tally.records;
    sum.converted += tally.converted;
    sum.empty += tally.empty;
    sum.rejected.count += tally.rejected.count;
    sum.malformed.count += tally.malformed.count;
  }
  // Counts in the user's digit grouping, as the window's other numbers read.
  const auto count = platform::GroupedCount;
  std::string text = "Converted " + count(by_rank[kConvertedRank]);
  Put(text, {" of ", CountOf(outcomes.size(), "file", "files")});
  const std::array<std::pair<Rank, std::string_view>, 4> parts{
      {{kFailedRank, " failed"},
       {kKeptRank, " skipped"},
       {kCancelledRank, " cancelled"},
       {kCopiedRank, " copied unchanged (no time-stamp column)"}}};
  const char* separator = "; ";
  for (const auto& [rank, words] : parts) {
    if (by_rank[rank] == 0) continue;
    Put(text, {separator, count(by_rank[rank]), words});
    separator = ", ";
  }
  text += '.';
  if (by_rank[kConvertedRank] + by_rank[kCopiedRank] > 0) {
    Put(text,
        {"\n", CountOf(sum.records, "record", "records"), ": ",
         CountOf(sum.converted, "value", "values"), " converted, ", count(sum.empty), " empty, ",
         count(sum.rejected.count), " rejected; ", count(sum.malformed.count), " malformed."});
  }
  if (!skipped.empty())
    Put(text, {"\nLeft out of the folders: ", cdr::SkippedSummary(skipped), "."});
  return text;
}

bool IsUnder(const std::string& path, const std::string& folder) {
  if (folder.empty() || !path.starts_with(folder)) return false;
  return path.size() == folder.size() || cdr::IsPathSeparator(folder.back()) ||
         cdr::IsPathSeparator(path[folder.size()]);
}

}  // namespace

DropReportKind DropReportKindOf(const std::vector<DroppedFile>& outcomes) {
  const auto converted = std::count_if(outcomes.begin(), outcomes.end(), [](const auto& file) {
    return file.state == State::kConverted;
  });
  if (converted == 0) return DropReportKind::kError;
  if (converted < static_cast<std::ptrdiff_t>(outcomes.size())) return DropReportKind::kWarning;
  return DropReportKind::kInformation;
}

std::optional<FolderToShow> FolderOfOutputs(const std::vector<DroppedFile>& outcomes) {
  std::vector<const std::string*> outputs;
  for (const DroppedFile& file : outcomes) {
    if (file.state == State::kConverted) outputs.push_back(&file.result.output);
  }
  if (outputs.empty()) return std::nullopt;
  // The deepest folder above every output; where there is none (two drives), the first output's.
  std::string common = cdr::FolderOf(*outputs.front());
  for (const std::string* output : outputs) {
    while (!common.empty() && !IsUnder(*output, common)) {
      std::string parent = cdr::FolderOf(common);
      if (parent == common) parent.clear();
      common = std::move(parent);
    }
  }
  FolderToShow shown{common.empty() ? cdr::FolderOf(*outputs.front()) : std::move(common), {}};
  for (const std::string* output : outputs) {
    if (!IsUnder(*output, shown.folder)) continue;
    // The item of the folder on the way to the output: the output itself, or a sub-folder.
    std::size_t end = shown.folder.size();
    while (end < output->size() && cdr::IsPathSeparator((*output)[end])) ++end;
    while (end < output->size() && !cdr::IsPathSeparator((*output)[end])) ++end;
    std::string item = output->substr(0, end);
    if (std::find(shown.items.begin(), shown.items.end(), item) == shown.items.end()) {
      shown.items.push_back(std::move(item));
    }
  }
  return shown;
}

DropReport MakeDropReport(const std::vector<DroppedFile>& outcomes,
                          const std::vector<cdr::SkippedPath>& skipped) {
  DropReport report;
  report.kind = DropReportKindOf(outcomes);
  report.totals = Totals(outcomes, skipped);
  const char* separator = "";
  for (int rank = kFailedRank; rank <= kConvertedRank; ++rank) {
    for (const DroppedFile& file : outcomes) {
      if (RankOf(file) != rank) continue;
      report.files += separator;
      PutParagraph(report.files, file);
      separator = "\n\n";
    }
  }
  for (const cdr::SkippedPath& path : skipped) {
    Put(report.files, {separator, cdr::PrintableName(cdr::FileNameOf(path.path)), ": left out, ",
                       cdr::SkipReasonText(path.reason), "\n    in ",
                       cdr::PrintableName(cdr::FolderOf(path.path))});
    separator = "\n\n";
  }
  report.outputs = FolderOfOutputs(outcomes);
  return report;
}

}  // namespace halvrenn
