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

}  // namespace

std::optional<ColumnChoice> ParseColumnChoice(std::string_view text) {
  ColumnChoice choice;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view unit = text.substr(colon + 1);
    std::optional<Unit> parsed;
    if (unit == "s") parsed = Unit::kSeconds;
    if (unit == "ms") parsed = Unit::kMilliseconds;
    if (unit == "us") parsed = Unit::kMicroseconds;
    if (parsed) {
      choice.unit = *parsed;
      text = text.substr(0, colon);
    }
  }
  if (text.empty()) return std::nullopt;
  choice.name = std::string(text);
  return choice;
}

HeaderRecord ReadHeader(std::string_view data, bool at_end, std::optional<char> delimiter) {
  // The end of the first record: the first line break outside quotes. A quote opens a quoted
  // field only at the start of a field, which depends on the delimiter; before it is known, any
  // of the candidates counts.
  const auto separates = [&](char c) {
    return delimiter ? c == *delimiter : c == ',' || c == '\t' || c == ';';
  };
  std::size_t end = data.size();
  bool in_quotes = false;
  bool field_start = true;
  std::array<std::size_t, 3> counts{};  // comma, tab, semicolon
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
      end = i;
      break;
    }
    if (c == '"' && field_start) {
      in_quotes = true;
      field_start = false;
      continue;
    }
    field_start = separates(c);
    if (c == ',') ++counts[0];
    if (c == '\t') ++counts[1];
    if (c == ';') ++counts[2];
  }
  HeaderRecord header;
  header.complete = end < data.size() || at_end;
  if (!header.complete) return header;
  if (delimiter) {
    header.delimiter = *delimiter;
  } else {
    header.delimiter = counts[1] > counts[0] && counts[1] >= counts[2]  ? '\t'
                       : counts[2] > counts[0] && counts[2] > counts[1] ? ';'
                                                                        : ',';
  }

  std::string_view record = data.substr(0, end);
  if (record.ends_with('\r')) record.remove_suffix(1);
  if (record.starts_with(kByteOrderMark)) record.remove_prefix(kByteOrderMark.size());
  std::string name;
  bool quoted = false;
  in_quotes = false;
  field_start = true;
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
                                        std::vector<std::string>& warnings) {
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
      warnings.push_back("no column named \"" + choice.name + "\" in the header");
    }
  }
  return columns;
}

}  // namespace halvrenn::cdr
