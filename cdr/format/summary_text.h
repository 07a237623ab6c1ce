#pragma once

// A conversion's summary as the user reads it, the same in the terminal and in the window.
// Example: "1000 records, 2950 converted, 48 empty, 2 rejected (lines 17, 940), 0 malformed";
// a file with more than time stamps counts the values of each kind: "1000 records, 2950 times,
// 2000 addresses, 2000 causes, 1000 durations converted, 48 empty, 2 rejected (lines 17, 940),
// 3 unknown causes, 0 malformed".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/format/column_kinds.h"
#include "cdr/format/tally.h"

namespace halvrenn::cdr {

// What one conversion did: its counts, the columns it decoded, its warnings, bytes and time.
struct Summary {
  Tally tally;
  std::array<std::size_t, kColumnKinds> columns_of{};  // decoded columns by ColumnKind
  std::vector<std::string> warnings;
  std::uint64_t bytes_read = 0;
  std::uint64_t bytes_written = 0;
  double seconds = 0;

  std::size_t ColumnsOf(ColumnKind kind) const {
    return columns_of[static_cast<std::size_t>(kind)];
  }
};

// How a count is written: plainly ("1590825") in the terminal and the logs, which programs read;
// the window passes the user's digit grouping ("1,590,825"). Line numbers are always plain.
using CountText = std::string (*)(std::uint64_t count);
std::string PlainCount(std::uint64_t count);

std::string SummaryText(const Summary& summary, CountText count_text = PlainCount);

// A file's name or path as every message, log line and report writes it: control characters
// as \n, \r, \t or \xNN, so that a name that holds a line break ("x\n2026-12-09T00:00:00.000Z
// forged.csv") cannot start a line of its own. Bytes from 0x80 on stay, as names need not be
// UTF-8. A backslash stays as it is: Windows paths read as they are typed, and a name escaped
// twice reads as once.
std::string PrintableName(std::string_view name);

}  // namespace halvrenn::cdr
