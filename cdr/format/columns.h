#pragma once

// The header record of a file of call records, and which of its columns a kind decodes
// (column_kinds.h): time stamps, IPv4 addresses, the call manager's codes, durations, voice
// quality.
//
// Example: the header `cdrRecordType,globalCallID_callId,dateTimeOrigination,duration` gives a
// time-stamp column, dateTimeOrigination (index 2), in seconds, then a duration, duration
// (index 3); `start_uepoch` would be a time stamp in microseconds. Header names are read as
// RFC 4180 fields: `"dateTimeConnect"` is the same name, remembered as quoted so that the added
// names are quoted too.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/format/column_kinds.h"
#include "time/ascii_text.h"  // EqualsIgnoringCase, as names are compared

namespace halvrenn::cdr {

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

struct Column {
  std::size_t index = 0;  // field index in the header
  ColumnKind kind = ColumnKind::kTime;
  unsigned variant = 0;  // of the name pattern it matched, or the Unit chosen for a time stamp
  std::string name;
  bool quoted = false;
};

// The columns to decode, the time stamps first and then the others, each in header order.
// Time stamps are the chosen columns when `chosen` is not empty (a name not in the header goes
// to `missing`), else those recognised by name: dateTimeOrigination, dateTimeConnect,
// dateTimeDisconnect, dateTimeStamp and names ending in _epoch in seconds, names ending in
// _uepoch in microseconds. The other kinds are always recognised by name, each by the names of
// its entry in kColumnKindTable; a name that two kinds recognise goes to the first. Letter case
// is ignored.
std::vector<Column> FindColumns(const HeaderRecord& header, const std::vector<ColumnChoice>& chosen,
                                KindSet kinds, std::vector<std::string>& missing);

}  // namespace halvrenn::cdr
