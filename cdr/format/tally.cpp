#include "cdr/format/tally.h"

namespace halvrenn::cdr {

void LineNumbers::Add(std::uint64_t line) {
  ++count;
  if (!first.empty() && first.back() == line) return;
  if (first.size() < kKept) {
    first.push_back(line);
  } else {
    more = true;
  }
}

void LineNumbers::Append(const LineNumbers& later, std::uint64_t line_offset) {
  count += later.count;
  for (const std::uint64_t line : later.first) {
    if (!first.empty() && first.back() == line + line_offset) continue;
    if (first.size() < kKept) {
      first.push_back(line + line_offset);
    } else {
      more = true;
    }
  }
  more = more || later.more;
}

void Tally::Append(const Tally& later) {
  records += later.records;
  converted += later.converted;
  for (std::size_t kind = 0; kind < converted_of.size(); ++kind) {
    converted_of[kind] += later.converted_of[kind];
    unknown_of[kind] += later.unknown_of[kind];
  }
  empty += later.empty;
  rejected.Append(later.rejected, line_breaks);
  malformed.Append(later.malformed, line_breaks);
  line_breaks += later.line_breaks;
}

}  // namespace halvrenn::cdr
