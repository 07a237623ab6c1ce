#include "summary_text.h"

namespace halvrenn::cdr {
namespace {

std::string Lines(const LineNumbers& lines, const char* what) {
  std::string text = std::to_string(lines.count) + " " + what;
  if (lines.first.empty()) return text;
  text += lines.first.size() == 1 ? " (line " : " (lines ";
  for (std::size_t i = 0; i < lines.first.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(lines.first[i]);
  }
  if (lines.more) text += ", ...";
  return text + ")";
}

}  // namespace

std::string SummaryText(const Summary& summary) {
  const Tally& tally = summary.tally;
  return std::to_string(tally.records) + " records, " + std::to_string(tally.converted) +
         " converted, " + std::to_string(tally.empty) + " empty, " +
         Lines(tally.rejected, "rejected") + ", " + Lines(tally.malformed, "malformed");
}

}  // namespace halvrenn::cdr
