#include "cdr/format/columns.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "cdr/format/record_scanner.h"

namespace halvrenn::cdr {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() > suffix.size() &&
         EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// The variant of the first of `names` that `name` matches.
std::optional<unsigned> Recognised(std::string_view name, std::span<const NamePattern> names) {
  for (const NamePattern& pattern : names) {
    const bool matches = pattern.match == NamePattern::Match::kWhole
                             ? EqualsIgnoringCase(name, pattern.text)
                             : EndsWithIgnoringCase(name, pattern.text);
    if (matches) return pattern.variant;
  }
  return std::nullopt;
}

// The first record of `data` read with one delimiter, as the records are read: how many fields
// it has, and whether a line break ended it.
struct FirstRecord {
  std::size_t delimiters = 0;  // outside quotes
  bool complete = false;
};

class FirstRecordCounter {
 public:
  std::size_t NextWanted(std::size_t /*field*/) const { return SIZE_MAX; }
  void Content(const char* /*from*/, const char* /*to*/) {}
  void EndField(bool /*quoted*/) {}
  void Pass(const char* /*from*/, const char* /*to*/) {}
  bool EndRecord(const RecordEnd& end) {
    first.delimiters = end.fields - 1;
    first.complete = true;
    return false;
  }
  void EndInQuotes(std::uint64_t /*line*/) {}

  FirstRecord first;
};

FirstRecord ScanFirstRecord(std::string_view data, char delimiter) {
  FirstRecordCounter counter;
  RecordScanner<FirstRecordCounter> scanner(delimiter, counter);
  scanner.Feed(data);
  return counter.first;
}

// The names of the header record, unquoted.
class HeaderNames {
 public:
  std::size_t NextWanted(std::size_t field) const { return field; }
  void Content(const char* from, const char* to) {
    name_.append(from, static_cast<std::size_t>(to - from));
  }
  void EndField(bool quoted) {
    header.names.push_back(std::move(name_));
    header.quoted.push_back(quoted);
    name_.clear();
  }
  void Pass(const char* /*from*/, const char* /*to*/) {}
  bool EndRecord(const RecordEnd& /*end*/) {
    ended = true;
    return false;
  }
  void EndInQuotes(std::uint64_t /*line*/) {
    EndField(true);
    ended = true;
  }

  HeaderRecord header;
  bool ended = false;

 private:
  std::string name_;
};

// Past this much data a delimiter is chosen among those whose record has ended.
constexpr std::size_t kUndecided = std::size_t{1} << 20;

}  // namespace

HeaderRecord ReadHeader(std::string_view data, bool at_end, std::optional<char> delimiter) {
  HeaderRecord header;
  if (delimiter) {
    const FirstRecord first = ScanFirstRecord(data, *delimiter);
    if (!first.complete && !at_end) return header;
    header.delimiter = *delimiter;
  } else {
    // Where a quote opens a field depends on the delimiter, so each candidate reads the record
    // as the records would be read with it, and the one that splits its own record most wins.
    constexpr std::array<char, 3> kCandidates = {',', '\t', ';'};
    std::array<FirstRecord, 3> first{};
    bool all_complete = true;
    bool any_complete = false;
    for (std::size_t i = 0; i < kCandidates.size(); ++i) {
      first[i] = ScanFirstRecord(data, kCandidates[i]);
      all_complete = all_complete && first[i].complete;
      any_complete = any_complete || first[i].complete;
    }
    // A candidate that has not ended its record yet may still split it most: wait for it, up to
    // a point, after which a quote it opened is taken to run on for good and it drops out.
    const bool decided = all_complete || at_end || (any_complete && data.size() > kUndecided);
    if (!decided) return header;
    std::array<std::size_t, 3> counts{};
    for (std::size_t i = 0; i < kCandidates.size(); ++i) {
      counts[i] = first[i].complete || at_end ? first[i].delimiters : 0;
    }
    const std::size_t chosen = counts[1] > counts[0] && counts[1] >= counts[2]  ? 1
                               : counts[2] > counts[0] && counts[2] > counts[1] ? 2
                                                                                : 0;
    header.delimiter = kCandidates[chosen];
  }
  HeaderNames names;
  RecordScanner<HeaderNames> scanner(header.delimiter, names);
  scanner.Feed(data);
  if (!names.ended) scanner.Finish();                     // the input ends in the header
  if (names.header.names.empty()) names.EndField(false);  // an empty input: one empty name
  names.header.delimiter = header.delimiter;
  header = std::move(names.header);
  header.complete = true;
  // A byte-order mark comes before the first field: the name after it may be quoted.
  std::string& first = header.names.front();
  if (first.starts_with(kByteOrderMark)) {
    first.erase(0, kByteOrderMark.size());
    if (first.size() >= 2 && first.front() == '"' && first.back() == '"') {
      std::string unquoted;
      for (std::size_t i = 1; i + 1 < first.size(); ++i) {
        unquoted += first[i];
        if (first[i] == '"' && first[i + 1] == '"') ++i;
      }
      first = std::move(unquoted);
      header.quoted.front() = true;
    }
  }
  return header;
}

std::vector<Column> FindColumns(const HeaderRecord& header, const std::vector<ColumnChoice>& chosen,
                                KindSet kinds, std::vector<std::string>& missing) {
  std::vector<Column> columns;
  if (kinds.Has(ColumnKind::kTime)) {
    for (std::size_t i = 0; i < header.names.size(); ++i) {
      std::optional<unsigned> variant;
      if (chosen.empty()) {
        variant = Recognised(header.names[i], EntryOf(ColumnKind::kTime).names);
      } else {
        for (const ColumnChoice& choice : chosen) {
          if (choice.name == header.names[i]) variant = static_cast<unsigned>(choice.unit);
        }
      }
      if (variant) {
        columns.push_back({i, ColumnKind::kTime, *variant, header.names[i], header.quoted[i]});
      }
    }
    for (const ColumnChoice& choice : chosen) {
      if (std::find(header.names.begin(), header.names.end(), choice.name) == header.names.end()) {
        missing.push_back(choice.name);
      }
    }
  }
  for (std::size_t i = 0; i < header.names.size(); ++i) {
    for (const ColumnKindEntry& entry : kColumnKindTable) {
      if (entry.kind == ColumnKind::kTime) continue;
      const std::optional<unsigned> variant = Recognised(header.names[i], entry.names);
      if (!variant) continue;
      if (kinds.Has(entry.kind)) {
        columns.push_back({i, entry.kind, *variant, header.names[i], header.quoted[i]});
      }
      break;
    }
  }
  return columns;
}

}  // namespace halvrenn::cdr
