#pragma once

// The counts of a conversion: records, values converted, empty, rejected and unknown, records
// malformed, with the first line numbers of the faults, so that a user can find them.
//
// Example: a file whose line 7 holds 12x where a time stamp belongs gives rejected.count 1 and
// rejected.first {7}.

#include <array>
#include <cstdint>
#include <vector>

#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {

// How many of something there were, and the first line numbers where they were.
struct LineNumbers {
  static constexpr std::size_t kKept = 10;
  std::uint64_t count = 0;
  std::vector<std::uint64_t> first;  // ascending, each line once
  bool more = false;                 // on lines beyond those in `first`

  void Add(std::uint64_t line);
  // Adds those of a later part whose line numbers count from 1 at line `line_offset` + 1.
  void Append(const LineNumbers& later, std::uint64_t line_offset);
};

struct Tally {
  std::uint64_t records = 0;    // data records: not the header, the type row or blank lines
  std::uint64_t converted = 0;  // values of every kind
  std::array<std::uint64_t, kColumnKinds> converted_of{};  // by ColumnKind
  std::uint64_t empty = 0;  // 0 or an empty field: no such time, no address
  LineNumbers rejected;     // values that are not a number in range
  // By ColumnKind: well-formed values that the kind's table does not name (cause numbers that
  // the call manager's table does not hold).
  std::array<std::uint64_t, kColumnKinds> unknown_of{};
  LineNumbers malformed;  // records with too few fields or an unterminated quote
  std::uint64_t line_breaks = 0;

  std::uint64_t ConvertedOf(ColumnKind kind) const {
    return converted_of[static_cast<std::size_t>(kind)];
  }
  std::uint64_t UnknownOf(ColumnKind kind) const {
    return unknown_of[static_cast<std::size_t>(kind)];
  }

  // Adds a later part's tally, whose line numbers counted from 1 where this one's end.
  void Append(const Tally& later);
};

}  // namespace halvrenn::cdr
