// The columns decoded beside the time stamps, each kind at its edges, read back through a whole
// conversion: IPv4 addresses as call managers store them, Q.850 cause codes and durations.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cdr/format/columns.h"
#include "cdr/format/summary_text.h"
#include "convert_in_memory.h"

namespace halvrenn::cdr {
namespace {

enum class Expect { kText, kEmpty, kRejected, kUnknown };

struct DecodedCase {
  const char* column;
  const char* value;
  Expect expect;
  const char* text;  // for kText
};

const std::vector<DecodedCase> kCases = {
    // Signed as call managers write them, or unsigned; the lowest byte is the first octet.
    {"origIpAddr", "-1139627840", Expect::kText, "192.168.18.188"},
    {"destIpAddr", "3155339456", Expect::kText, "192.168.18.188"},
    {"origMediaTransportAddress_IP", "16777343", Expect::kText, "127.0.0.1"},
    {"ORIGIPADDR", "-2147483648", Expect::kText, "0.0.0.128"},
    {"destVideoTransportAddress_IP_Channel2", "2147483647", Expect::kText, "255.255.255.127"},
    {"origIpAddr", "4294967295", Expect::kText, "255.255.255.255"},
    {"origIpAddr", "-1", Expect::kText, "255.255.255.255"},
    {"origIpAddr", "4294967296", Expect::kRejected, ""},
    {"origIpAddr", "-2147483649", Expect::kRejected, ""},
    {"origIpAddr", "0", Expect::kEmpty, ""},
    {"origIpAddr", "", Expect::kEmpty, ""},
    {"origIpAddr", "10.0.0.1", Expect::kRejected, ""},
    {"origIpAddr", "-", Expect::kRejected, ""},
    // Causes by Q.850's names; 0 is the side that did not end the call.
    {"origCause_value", "0", Expect::kText, "No error"},
    {"destCause_value", "16", Expect::kText, "Normal call clearing"},
    {"destCause_value", "17", Expect::kText, "User busy"},
    {"destCause_value", "127", Expect::kText, "\"Interworking, unspecified\""},
    {"destCause_value", "12", Expect::kUnknown, ""},
    {"destCause_value", "393216", Expect::kUnknown, ""},
    {"destCause_value", "", Expect::kEmpty, ""},
    {"destCause_value", "-16", Expect::kRejected, ""},
    {"destCause_value", "x", Expect::kRejected, ""},
    // Durations with as many hour digits as needed.
    {"duration", "0", Expect::kText, "0:00:00"},
    {"duration", "59", Expect::kText, "0:00:59"},
    {"duration", "3725", Expect::kText, "1:02:05"},
    {"Duration", "86400", Expect::kText, "24:00:00"},
    {"duration", "4294967295", Expect::kText, "1193046:28:15"},
    {"duration", "4294967296", Expect::kRejected, ""},
    {"duration", "-5", Expect::kRejected, ""},
    {"duration", "", Expect::kEmpty, ""},
};

Converted ConvertOne(const std::string& column, const std::string& value) {
  Options options;
  options.jobs = 1;
  return Convert("id," + column + "\n1," + value + "\n", options);
}

TEST(CdrDecoded, EachKindAtItsEdges) {
  for (const DecodedCase& c : kCases) {
    const Converted converted = ConvertOne(c.column, c.value);
    const std::string where = std::string(c.column) + " " + c.value;
    const std::string record = converted.text.substr(converted.text.find('\n') + 1);
    EXPECT_EQ(record, "1," + std::string(c.value) + "," + c.text + "\n") << where;
    const Tally& tally = converted.summary.tally;
    EXPECT_EQ(tally.converted, c.expect == Expect::kText ? 1U : 0U) << where;
    EXPECT_EQ(tally.empty, c.expect == Expect::kEmpty ? 1U : 0U) << where;
    EXPECT_EQ(tally.rejected.count, c.expect == Expect::kRejected ? 1U : 0U) << where;
    EXPECT_EQ(tally.UnknownOf(ColumnKind::kCause), c.expect == Expect::kUnknown ? 1U : 0U) << where;
  }
}

// Every number Q.850 names gets a text, and no other does.
TEST(CdrDecoded, EveryCauseOfTheStandard) {
  const std::set<int> named = {0,  1,  2,  3,  4,  5,   6,   7,   8,   9,   14,  16, 17, 18, 19,
                               20, 21, 22, 23, 24, 25,  26,  27,  28,  29,  30,  31, 34, 38, 39,
                               40, 41, 42, 43, 44, 46,  47,  49,  50,  53,  55,  57, 58, 62, 63,
                               65, 66, 69, 70, 79, 81,  82,  83,  84,  85,  86,  87, 88, 90, 91,
                               95, 96, 97, 98, 99, 100, 101, 102, 103, 110, 111, 127};
  for (int number = 0; number <= 130; ++number) {
    const Converted converted = ConvertOne("destCause_value", std::to_string(number));
    const std::string text = converted.text.substr(converted.text.rfind(',') + 1);
    EXPECT_EQ(text != "\n", named.count(number) == 1) << number << ": " << text;
  }
}

TEST(CdrDecoded, NamesTypesOrderAndSummary) {
  Options options;
  options.jobs = 1;
  options.zone = "Etc/UTC";
  const Converted converted = Convert(
      "duration,dateTimeConnect,origCause_value\nINTEGER,INTEGER,INTEGER\n3725,86400,17\n"
      "0,0,12\n",
      options);
  // The time stamps' texts first, then the other kinds in header order.
  EXPECT_EQ(converted.text,
            "duration,dateTimeConnect,origCause_value,dateTimeConnect_gmt,dateTimeConnect_local,"
            "duration_hms,origCause_value_text\n"
            "INTEGER,INTEGER,INTEGER,VARCHAR(19),VARCHAR(19),VARCHAR(13),VARCHAR(86)\n"
            "3725,86400,17,1970-01-02 00:00:00,1970-01-02 00:00:00,1:02:05,User busy\n"
            "0,0,12,,,0:00:00,\n");
  EXPECT_EQ(SummaryText(converted.summary),
            "2 records, 1 times, 1 causes, 2 durations converted, 1 empty, 0 rejected, 1 unknown "
            "causes, 0 malformed");

  // A delimiter that a text holds quotes it.
  options.delimiter = '.';
  EXPECT_EQ(Convert("origIpAddr\n16777343\n", options).text,
            "origIpAddr.origIpAddr_ip\n16777343.\"127.0.0.1\"\n");
  options.delimiter.reset();

  // --decode: only the kinds asked for.
  options.decode.bits = 1U << static_cast<unsigned>(ColumnKind::kTime);
  EXPECT_EQ(Convert("duration,dateTimeConnect\n5,86400\n", options).text,
            "duration,dateTimeConnect,dateTimeConnect_gmt,dateTimeConnect_local\n"
            "5,86400,1970-01-02 00:00:00,1970-01-02 00:00:00\n");
}

// Every name of the kinds' table goes to its own kind with its own variant, whatever its letter
// case, and to none when that kind is not decoded; no two kinds share a --decode word.
TEST(CdrDecoded, EveryNameOfTheTableGoesToItsKind) {
  std::set<std::string_view> words;
  for (const ColumnKindEntry& entry : kColumnKindTable) {
    EXPECT_TRUE(words.insert(entry.decode_word).second) << entry.decode_word;
    for (const NamePattern& pattern : entry.names) {
      std::string name(pattern.text);
      if (pattern.match == NamePattern::Match::kEnding) name.insert(0, "start");
      std::transform(name.begin(), name.end(), name.begin(),
                     [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
      HeaderRecord header;
      header.names = {"id", name};
      header.quoted = {false, false};
      std::vector<std::string> missing;
      const std::vector<Column> columns = FindColumns(header, {}, KindSet{}, missing);
      ASSERT_EQ(columns.size(), 1U) << name;
      EXPECT_EQ(columns[0].kind, entry.kind) << name;
      EXPECT_EQ(columns[0].variant, pattern.variant) << name;
      EXPECT_EQ(columns[0].index, 1U) << name;
      const KindSet others{KindSet{}.bits & ~(1U << static_cast<unsigned>(entry.kind))};
      EXPECT_TRUE(FindColumns(header, {}, others, missing).empty()) << name;
    }
  }
}

// A name as messages write it: one line whatever it holds, and the same when escaped twice.
TEST(CdrRecords, NamesAreWrittenWithTheirControlCharactersEscaped) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"calls.csv", "calls.csv"},
      {"x\n2026-12-09T00:00:00.000Z forged.csv", "x\\n2026-12-09T00:00:00.000Z forged.csv"},
      {"a\rb\tc", "a\\rb\\tc"},
      {std::string_view("\0\x1b\x7f", 3), "\\x00\\x1b\\x7f"},
      {"caf\xc3\xa9 \xe9.csv", "caf\xc3\xa9 \xe9.csv"},  // not UTF-8 either: kept
      {"C:\\cdr\\day", "C:\\cdr\\day"},
  };
  for (const auto& [name, printed] : cases) {
    EXPECT_EQ(PrintableName(name), printed);
    EXPECT_EQ(PrintableName(PrintableName(name)), printed);
  }
}

}  // namespace
}  // namespace halvrenn::cdr
