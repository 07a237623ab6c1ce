#include "columns.h"

#include <algorithm>
#include <array>

namespace halvrenn::cdr {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() > suffix.size() &&
         EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::optional<Unit> RecognisedUnit(std::string_view name) {
  static constexpr std::array<std::string_view, 4> kCallManagerNames = {
      "dateTimeOrigination", "dateTimeConnect", "dateTimeDisconnect", "dateTimeStamp"};
  for (const std::string_view known : kCallManagerNames) {
    if (EqualsIgnoringCase(name, known)) return Unit::kSeconds;
  }
  if (EndsWithIgnoringCase(name, "_uepoch")) return Unit::kMicroseconds;
  if (EndsWithIgnoringCase(name, "_epoch")) return Unit::kSeconds;
  return std::nullopt;
}

// The first record of `data` read with one delimiter: a quote opens a quoted field only at the
// start of a field, as the records are read. It ends at the first line break outside quotes.
struct FirstRecord {
  std::size_t end = 0;         // the line break's offset, or the size of the data
  std::size_t delimiters = 0;  // outside quotes
  bool complete = false;       // a line break ended it
};

FirstRecord ScanFirstRecord(std::string_view data, char delimiter) {
  FirstRecord first{data.size()};
  bool in_quotes = false;
  bool field_start = true;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const char c = data[i];
    if (in_quotes) {
      if (c == '"') {
        if (i + 1 < data.size() && data[i + 1] == '"') {
          ++i;  // a doubled quote stands for one
        } else {
          in_quotes = false;
        }
      }
      continue;
    }
    if (c == '\n') {
      first.end = i;
      first.complete = true;
      break;
    }
    if (c == '"' && field_start) {
      in_quotes = true;
      field_start = false;
      continue;
    }
    field_start = c == delimiter;
    if (field_start) ++first.delimiters;
  }
  return first;
}

// Past this much data a delimiter is chosen among those whose record has ended.
constexpr std::size_t kUndecided = std::size_t{1} << 20;

}  // namespace

std::optional<ColumnChoice> ParseColumnChoice(std::string_view text) {
  ColumnChoice choice;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    // A name that holds a colon is given with its unit: "a:b:s".
    const std::string_view unit = text.substr(colon + 1);
    if (unit == "s") {
      choice.unit = Unit::kSeconds;
    } else if (unit == "ms") {
      choice.unit = Unit::kMilliseconds;
    } else if (unit == "us") {
      choice.unit = Unit::kMicroseconds;
    } else {
      return std::nullopt;
    }
    text = text.substr(0, colon);
  }
  if (text.empty()) return std::nullopt;
  choice.name = std::string(text);
  return choice;
}

HeaderRecord ReadHeader(std::string_view data, bool at_end, std::optional<char> delimiter) {
  HeaderRecord header;
  std::size_t end = 0;
  if (delimiter) {
    const FirstRecord first = ScanFirstRecord(data, *delimiter);
    if (!first.complete && !at_end) return header;
    header.delimiter = *delimiter;
    end = first.end;
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
    end = first[chosen].end;
  }
  header.complete = true;

  std::string_view record = data.substr(0, end);
  if (record.ends_with('\r')) record.remove_suffix(1);
  if (record.starts_with(kByteOrderMark)) record.remove_prefix(kByteOrderMark.size());
  std::string name;
  bool quoted = false;
  bool in_quotes = false;
  bool field_start = true;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const char c = record[i];
    if (in_quotes) {
      if (c != '"') {
        name += c;
      } else if (i + 1 < record.size() && record[i + 1] == '"') {
        name += '"';
        ++i;
      } else {
        in_quotes = false;
      }
      continue;
    }
    if (c == header.delimiter) {
      header.names.push_back(std::move(name));
      header.quoted.push_back(quoted);
      name.clear();
      quoted = false;
      field_start = true;
      continue;
    }
    if (c == '"' && field_start) {
      in_quotes = quoted = true;
    } else {
      name += c;
    }
    field_start = false;
  }
  header.names.push_back(std::move(name));
  header.quoted.push_back(quoted);
  return header;
}

std::vector<TimeColumn> FindTimeColumns(const HeaderRecord& header,
                                        const std::vector<ColumnChoice>& chosen,
                                        std::vector<std::string>& missing) {
  std::vector<TimeColumn> columns;
  for (std::size_t i = 0; i < header.names.size(); ++i) {
    std::optional<Unit> unit;
    if (chosen.empty()) {
      unit = RecognisedUnit(header.names[i]);
    } else {
      for (const ColumnChoice& choice : chosen) {
        if (choice.name == header.names[i]) unit = choice.unit;
      }
    }
    if (unit) columns.push_back({i, *unit, header.names[i], header.quoted[i]});
  }
  for (const ColumnChoice& choice : chosen) {
    if (std::find(header.names.begin(), header.names.end(), choice.name) == header.names.end()) {
      missing.push_back(choice.name);
    }
  }
  return columns;
}

}  // namespace halvrenn::cdr
