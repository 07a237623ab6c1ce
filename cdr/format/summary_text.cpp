#include "cdr/format/summary_text.h"

#include <algorithm>
#include <array>

namespace halvrenn::cdr {
namespace {

std::string Lines(const LineNumbers& lines, const char* what, CountText count_text) {
  std::string text = count_text(lines.count) + " " + what;
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

std::string PlainCount(std::uint64_t count) { return std::to_string(count); }

std::string SummaryText(const Summary& summary, CountText count_text) {
  const Tally& tally = summary.tally;
  std::string converted;
  const bool only_times = std::all_of(
      kColumnKindTable.begin(), kColumnKindTable.end(), [&](const ColumnKindEntry& kind) {
        return kind.kind == ColumnKind::kTime || summary.ColumnsOf(kind.kind) == 0;
      });
  if (only_times) {
    converted = count_text(tally.converted);
  } else {
    for (const ColumnKindEntry& entry : kColumnKindTable) {
      if (summary.ColumnsOf(entry.kind) == 0) continue;
      if (!converted.empty()) converted += ", ";
      converted += count_text(tally.ConvertedOf(entry.kind)) + " ";
      converted += entry.counted;
    }
  }
  std::string text = count_text(tally.records) + " records, " + converted + " converted, " +
                     count_text(tally.empty) + " empty, " +
                     Lines(tally.rejected, "rejected", count_text);
  for (const ColumnKindEntry& entry : kColumnKindTable) {
    if (entry.unknown.empty() || summary.ColumnsOf(entry.kind) == 0) continue;
    text += ", " + count_text(tally.UnknownOf(entry.kind)) + " ";
    text += entry.unknown;
  }
  return text + ", " + Lines(tally.malformed, "malformed", count_text);
}

std::string PrintableName(std::string_view name) {
  std::string text;
  text.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      text += c;
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c == '\t') {
      text += "\\t";
    } else {
      constexpr std::string_view kHex = "0123456789abcdef";
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xf];
    }
  }
  return text;
}

}  // namespace halvrenn::cdr
