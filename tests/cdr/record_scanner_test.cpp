// One table of record cases, read by the scanner itself, by the converter that consumes it, and by
// the fuzz target's slow reader, each fed whole and in pieces of 1, 2 and 7 bytes: they must split
// the same records at the same places.

#include "cdr/format/record_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdr_round_trip.h"
#include "convert_in_memory.h"

namespace halvrenn::cdr {
namespace {

struct Record {
  std::vector<std::string> fields;  // their content, quotes removed
  std::string line_break;           // "\n", "\r\n", "" at the end, or "open" for a quote left open
};

struct ScannerCase {
  std::string input;
  std::vector<Record> records;
};

const std::vector<ScannerCase> kCases = {
    {"a,b\nc,d\n", {{{"a", "b"}, "\n"}, {{"c", "d"}, "\n"}}},
    {"a,b\r\nc", {{{"a", "b"}, "\r\n"}, {{"c"}, ""}}},
    {"\"a,b\",\"c\r\nd\"\r\n", {{{"a,b", "c\r\nd"}, "\r\n"}}},
    {"\"say \"\"hi\"\"\",x\n", {{{"say \"hi\"", "x"}, "\n"}}},
    {"a\"b,c\"d\"\n", {{{"a\"b", "c\"d\""}, "\n"}}},           // a quote inside a field is plain
    {"\"a\"b,c\n", {{{"ab", "c"}, "\n"}}},                     // text after the closing quote
    {"a\rb,c\r\n", {{{"a"}, "\r"}, {{"b", "c"}, "\r\n"}}},     // a lone CR ends a record
    {"a,b\rc,d\r", {{{"a", "b"}, "\r"}, {{"c", "d"}, "\r"}}},  // CR-only line ends
    {"a\r\rb\n\r\nc\r",
     {{{"a"}, "\r"}, {{""}, "\r"}, {{"b"}, "\n"}, {{""}, "\r\n"}, {{"c"}, "\r"}}},
    {"\"x\ry\"\r\"\"\"\r\"\r", {{{"x\ry"}, "\r"}, {{"\"\r"}, "\r"}}},  // a quoted CR is content
    {",,\n\n,\n", {{{"", "", ""}, "\n"}, {{""}, "\n"}, {{"", ""}, "\n"}}},
    {"a,\"open\nrest", {{{"a", "open\nrest"}, "open"}}},  // an unterminated quote at the end
    {"a,b\r", {{{"a", "b"}, "\r"}}},
    {"x,\"\"\"\",y\n", {{{"x", "\"", "y"}, "\n"}}},
};

// Collects what the scanner tells, and every byte it passes on.
class Recorder {
 public:
  std::size_t NextWanted(std::size_t field) const { return field; }
  void Content(const char* from, const char* to) { field_.append(from, to); }
  void EndField(bool /*quoted*/) {
    current_.fields.push_back(field_);
    field_.clear();
  }
  void Pass(const char* from, const char* to) { passed.append(from, to); }
  bool EndRecord(const RecordEnd& end) {
    EXPECT_EQ(end.fields, current_.fields.size());
    current_.line_break = std::string(end.line_break);
    records.push_back(current_);
    lines.push_back(end.line);
    current_ = {};
    return true;
  }
  void EndInQuotes(std::uint64_t line) {
    current_.fields.push_back(field_);
    current_.line_break = "open";
    records.push_back(current_);
    lines.push_back(line);
  }

  std::vector<Record> records;
  std::vector<std::uint64_t> lines;  // where each record starts
  std::string passed;

 private:
  Record current_;
  std::string field_;
};

bool operator==(const Record& a, const Record& b) {
  return a.fields == b.fields && a.line_break == b.line_break;
}

// The lines that `text` holds before `end`, as an editor counts them: each LF, each lone CR.
std::uint64_t LineBreaksBefore(std::string_view text, std::size_t end) {
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < end; ++i) {
    count += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
  }
  return count;
}

template <typename Feed>
void InPieces(const std::string& input, std::size_t piece, Feed feed) {
  for (std::size_t at = 0; at < input.size(); at += piece) feed(input.substr(at, piece));
}

TEST(CdrScanner, OneTableForTheScannerTheConverterAndTheSlowReader) {
  for (const ScannerCase& c : kCases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, SIZE_MAX}) {
      const std::string where = "input \"" + c.input + "\", pieces of " + std::to_string(piece);

      Recorder recorder;
      RecordScanner<Recorder> scanner(',', recorder);
      InPieces(c.input, piece, [&](std::string_view part) { scanner.Feed(part); });
      scanner.Finish();
      EXPECT_EQ(recorder.records, c.records) << where;
      EXPECT_EQ(recorder.passed, c.input) << where;
      EXPECT_EQ(scanner.LineBreaks(), LineBreaksBefore(c.input, c.input.size())) << where;
      std::size_t begin = 0;
      for (std::size_t r = 0; r < c.records.size() && r < recorder.lines.size(); ++r) {
        EXPECT_EQ(recorder.lines[r], 1 + LineBreaksBefore(c.input, begin)) << where << ", " << r;
        begin = fuzz::ReadRecord(c.input, begin, ',').next;
      }

      // The converter keeps every byte and adds its field to every record but an open one
      // (the header, and a blank line after it, get theirs too, or none).
      Options options;
      options.columns = {{"a", Unit::kSeconds}};
      options.time_texts = {TimeText::kGmt};
      options.jobs = 1;
      options.zone = "Etc/UTC";
      const Converted converted = Convert("a\n" + c.input, options, piece);
      const std::string original = fuzz::DropAddedFields(converted.text, ',', 1);
      EXPECT_EQ(original, "a\n" + c.input) << where;
      std::size_t records = 0;
      for (const Record& record : c.records)
        records += record.fields != std::vector<std::string>{""} || record.line_break == "open";
      EXPECT_EQ(converted.summary.tally.records, records) << where;
    }

    // The slow reader finds the same ends of records and the same numbers of fields.
    std::size_t begin = 0;
    for (const Record& record : c.records) {
      const fuzz::RecordSplit split = fuzz::ReadRecord(c.input, begin, ',');
      EXPECT_EQ(split.fields, record.fields.size()) << c.input;
      EXPECT_EQ(split.unterminated_quote, record.line_break == "open") << c.input;
      begin = split.next;
    }
    EXPECT_EQ(begin, c.input.size()) << c.input;
  }
}

}  // namespace
}  // namespace halvrenn::cdr
