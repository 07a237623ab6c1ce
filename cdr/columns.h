#pragma once

// The header record of a file of time stamps, and which of its columns hold time stamps.
//
// Example: the header `cdrRecordType,globalCallID_callId,dateTimeOrigination,duration` gives one
// time-stamp column, dateTimeOrigination (index 2), in seconds; `start_uepoch` would be in
// microseconds. Header names are read as RFC 4180 fields: `"dateTimeConnect"` is the same name,
// remembered as quoted so that the added names are quoted too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn::cdr {

enum class Unit : unsigned char { kSeconds, kMilliseconds, kMicroseconds };

// Raw counts per second of each unit.
constexpr std::int64_t UnitsPerSecond(Unit unit) {
  return unit == Unit::kSeconds ? 1 : unit == Unit::kMilliseconds ? 1000 : 1000000;
}

// A column named by the user, `NAME` or `NAME:s`, `NAME:ms`, `NAME:us`.
struct ColumnChoice {
  std::string name;
  Unit unit = Unit::kSeconds;
};

struct HeaderRecord {
  std::vector<std::string> names;  // unquoted, without a leading byte-order mark
  std::vector<bool> quoted;        // whether each name was quoted in the file
  char delimiter = ',';
  bool complete = false;  // the record ended inside the data given
};

// The first record of `data`, split at `delimiter`, or when none is given at whichever of comma,
// tab and semicolon appears most often outside quotes in it (comma on a tie or when none does).
// Incomplete when neither a line break outside quotes nor `at_end` closes it.
HeaderRecord ReadHeader(std::string_view data, bool at_end, std::optional<char> delimiter);

struct TimeColumn {
  std::size_t index = 0;  // field index in the header
  Unit unit = Unit::kSeconds;
  std::string name;
  bool quoted = false;
};

// The time-stamp columns in header order: the chosen ones when `chosen` is not empty (a name not
// in the header goes to `missing`), else those recognised by name: dateTimeOrigination,
// dateTimeConnect, dateTimeDisconnect, dateTimeStamp and names ending in _epoch in seconds,
// names ending in _uepoch in microseconds (letter case ignored).
std::vector<TimeColumn> FindTimeColumns(const HeaderRecord& header,
                                        const std::vector<ColumnChoice>& chosen,
                                        std::vector<std::string>& missing);

}  // namespace halvrenn::cdr
