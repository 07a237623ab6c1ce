// The records of a file as the converter keeps and extends them: quoting, line breaks, the type
// row, values in and out of range, malformed records, and the summary's counts and lines.
// Greenwich texts only, so these hold in any zone; known instants: 86400 is 1970-01-02 00:00:00,
// 1000000000 is 2001-09-09 01:46:40, 2147483647 is 2038-01-19 03:14:07, 4294967295 is
// 2106-02-07 06:28:15.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cdr/convert/conversion.h"
#include "cdr/files/paths.h"
#include "convert_in_memory.h"

namespace halvrenn::cdr {
namespace {

Options GmtOnly() {
  Options options;
  options.time_texts = {TimeText::kGmt};
  options.jobs = 1;
  return options;
}

struct Case {
  const char* what;
  std::string input;
  std::string output;
};

TEST(CdrRecords, KeepEveryByteAndAppendAtTheEnd) {
  const std::vector<Case> cases = {
      {"LF", "a,dateTimeConnect\n1,86400\n",
       "a,dateTimeConnect,dateTimeConnect_gmt\n1,86400,1970-01-02 00:00:00\n"},
      {"CRLF kept per record", "a,dateTimeConnect\r\n1,86400\n2,1000000000\r\n",
       "a,dateTimeConnect,dateTimeConnect_gmt\r\n1,86400,1970-01-02 "
       "00:00:00\n2,1000000000,2001-09-09 01:46:40\r\n"},
      {"no final line break", "dateTimeStamp\n2147483647",
       "dateTimeStamp,dateTimeStamp_gmt\n2147483647,2038-01-19 03:14:07"},
      {"quoted fields with delimiters, quotes and line breaks",
       "n,dateTimeConnect\n\"x,\"\"y\"\"\r\nz\",\"86400\"\n",
       "n,dateTimeConnect,dateTimeConnect_gmt\n\"x,\"\"y\"\"\r\nz\",\"86400\",1970-01-02 "
       "00:00:00\n"},
      {"quoted header names give quoted added names", "\"n\",\"dateTimeConnect\"\n1,86400\n",
       "\"n\",\"dateTimeConnect\",\"dateTimeConnect_gmt\"\n1,86400,1970-01-02 00:00:00\n"},
      {"byte-order mark",
       "\xEF\xBB\xBF"
       "dateTimeConnect\n86400\n",
       "\xEF\xBB\xBF"
       "dateTimeConnect,dateTimeConnect_gmt\n86400,1970-01-02 00:00:00\n"},
      {"bytes that are not UTF-8", "\xFF,dateTimeConnect\n\xFE\xC3,86400\n",
       "\xFF,dateTimeConnect,dateTimeConnect_gmt\n\xFE\xC3,86400,1970-01-02 00:00:00\n"},
      {"a quote inside an unquoted field is a character", "n,dateTimeConnect\nab\"c,86400\n",
       "n,dateTimeConnect,dateTimeConnect_gmt\nab\"c,86400,1970-01-02 00:00:00\n"},
      {"a lone CR ends a record, and each record keeps its own line end",
       "n,dateTimeConnect\r1,86400\r\"x\ry\",0\n3,86400\r\n4,86400\r",
       "n,dateTimeConnect,dateTimeConnect_gmt\r1,86400,1970-01-02 00:00:00\r\"x\ry\",0,\n3,86400,"
       "1970-01-02 00:00:00\r\n4,86400,1970-01-02 00:00:00\r"},
      {"type row", "a,dateTimeConnect\r\nINTEGER,INTEGER\r\n1,86400\r\n",
       "a,dateTimeConnect,dateTimeConnect_gmt\r\nINTEGER,INTEGER,VARCHAR(19)\r\n1,86400,1970-01-02 "
       "00:00:00\r\n"},
      {"blank lines stay blank", "dateTimeConnect\n\n86400\n\r\n",
       "dateTimeConnect,dateTimeConnect_gmt\n\n86400,1970-01-02 00:00:00\n\r\n"},
      {"too few fields", "a,b,dateTimeConnect\n1,2\n",
       "a,b,dateTimeConnect,dateTimeConnect_gmt\n1,2,\n"},
      {"unterminated quote at the end", "a,dateTimeConnect\n1,86400\n\"open,86400\n",
       "a,dateTimeConnect,dateTimeConnect_gmt\n1,86400,1970-01-02 00:00:00\n\"open,86400\n"},
      {"no time-stamp column: unchanged", "a,b\n1,2\n", "a,b\n1,2\n"},
      {"values out of range and empty",
       "dateTimeConnect\n0\n\n\"\"\n-1\n4294967296\n4294967295\n "
       "5\n1e3\n00000000000000000000086400\n",
       "dateTimeConnect,dateTimeConnect_gmt\n0,\n\n\"\",\n-1,\n4294967296,\n4294967295,2106-02-07 "
       "06:28:15\n 5,1970-01-01 00:00:05\n1e3,\n"
       "00000000000000000000086400,1970-01-02 00:00:00\n"},
      {"units", "a_epoch,b_uepoch\n86400,86400999999\n",
       "a_epoch,b_uepoch,a_epoch_gmt,b_uepoch_gmt\n86400,86400999999,1970-01-02 "
       "00:00:00,1970-01-02 00:00:00\n"},
      {"tab delimiter from the header", "a\tdateTimeConnect\n1\t86400\n",
       "a\tdateTimeConnect\tdateTimeConnect_gmt\n1\t86400\t1970-01-02 00:00:00\n"},
      {"semicolon delimiter from the header", "a;dateTimeConnect\n1,5;86400\n",
       "a;dateTimeConnect;dateTimeConnect_gmt\n1,5;86400;1970-01-02 00:00:00\n"},
  };
  for (const Case& c : cases) {
    // Every split of the input into pieces gives the same bytes; 1 and 2 split CRLF and quotes.
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, SIZE_MAX}) {
      EXPECT_EQ(Convert(c.input, GmtOnly(), piece).text, c.output)
          << c.what << ", pieces of " << piece;
    }
  }
}

TEST(CdrRecords, CountsWithLineNumbers) {
  // Line 1 header, 2 type row, 3 good, 4 a record over two lines, 6 rejected, 7 short,
  // 8 empty values, 9 unterminated; the same with CR-only line ends, as lines of their own.
  std::string input =
      "id,dateTimeOrigination,dateTimeConnect\n"
      "INTEGER,INTEGER,INTEGER\n"
      "1,86400,86400\n"
      "\"2\n\",86400,0\n"
      "3,x,86400\n"
      "4,86400\n"
      "5,,0\n"
      "\"6,86400,86400\n";
  for (const bool cr_only : {false, true}) {
    if (cr_only) std::replace(input.begin(), input.end(), '\n', '\r');
    const Summary summary = Convert(input, GmtOnly()).summary;
    EXPECT_EQ(summary.ColumnsOf(ColumnKind::kTime), 2U);
    EXPECT_EQ(summary.tally.records, 6U);
    EXPECT_EQ(summary.tally.converted, 4U);
    EXPECT_EQ(summary.tally.empty, 3U);
    EXPECT_EQ(summary.tally.rejected.count, 1U);
    EXPECT_EQ(summary.tally.rejected.first, (std::vector<std::uint64_t>{6}));
    EXPECT_EQ(summary.tally.malformed.count, 2U);
    EXPECT_EQ(summary.tally.malformed.first, (std::vector<std::uint64_t>{7, 9}));
  }
}

TEST(CdrRecords, ChosenColumns) {
  Options options = GmtOnly();
  options.columns = {{"start", Unit::kMilliseconds}};
  options.time_texts = {TimeText::kGmt, TimeText::kOffset};
  options.zone = "Etc/UTC";
  const Converted converted = Convert("dateTimeConnect,start\n5,86400000\n", options);
  EXPECT_EQ(
      converted.text,
      "dateTimeConnect,start,start_gmt,start_offset\n5,86400000,1970-01-02 00:00:00,+00:00\n");
  EXPECT_EQ(Convert("a,b\n1,2\n", GmtOnly()).summary.warnings.size(), 1U);

  // A column asked for by name that the file lacks fails it, before anything is written.
  options.columns.push_back({"missing", Unit::kSeconds});
  std::string error;
  const auto converter = Converter::Create(options, error);
  MemorySource source("dateTimeConnect,start\n5,86400000\n");
  StringSink sink;
  const StreamResult result = converter->ConvertStream(source, sink, {}, nullptr);
  EXPECT_EQ(result.outcome, Outcome::kFailed);
  EXPECT_NE(result.error.find("\"missing\""), std::string::npos);
  EXPECT_EQ(sink.text, "");
}

TEST(CdrRecords, DelimiterAndQuotesInAddedTexts) {
  // A quote after a semicolon opens no field where the header is split at commas: the header
  // ends at its first line break, as the records do.
  EXPECT_EQ(Convert("a;\"b,dateTimeConnect\n1,86400\n\"\n", GmtOnly()).text,
            "a;\"b,dateTimeConnect,dateTimeConnect_gmt\n1,86400,1970-01-02 00:00:00\n\"\n");
  // A delimiter that the texts contain makes them quoted; an explicit delimiter wins.
  Options options = GmtOnly();
  options.delimiter = ' ';
  EXPECT_EQ(Convert("a dateTimeConnect\n1 86400\n", options).text,
            "a dateTimeConnect dateTimeConnect_gmt\n1 86400 \"1970-01-02 00:00:00\"\n");
  options.delimiter = ';';
  EXPECT_EQ(Convert("a,dateTimeConnect;x\n1,2;3\n", options).text, "a,dateTimeConnect;x\n1,2;3\n");
}

TEST(CdrRecords, ZoneNamesAreCheckedOnce) {
  Options options;
  options.zone = "Nowhere/Atlantis";
  std::string error;
  EXPECT_EQ(Converter::Create(options, error), nullptr);
  EXPECT_NE(error.find("Nowhere/Atlantis"), std::string::npos);
}

}  // namespace
}  // namespace halvrenn::cdr
