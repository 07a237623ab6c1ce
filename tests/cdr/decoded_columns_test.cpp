// The columns decoded beside the time stamps, each kind at its edges, read back through a whole
// conversion: IPv4 addresses as call managers store them, the call manager's codes by the names
// of its own tables (read here from the copy the product is built from), durations and the voice
// quality of a call management record.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>
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
  const char* text;  // for kText: the added fields as written
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
    {"origIpAddr", " 16777343\t", Expect::kText, "127.0.0.1"},
    {"origIpAddr", "4294967296", Expect::kRejected, ""},
    {"origIpAddr", "-2147483649", Expect::kRejected, ""},
    {"origIpAddr", "0", Expect::kEmpty, ""},
    {"origIpAddr", "", Expect::kEmpty, ""},
    {"origIpAddr", "10.0.0.1", Expect::kRejected, ""},
    {"origIpAddr", "-", Expect::kRejected, ""},
    // Causes: 0 is the side that did not end the call; a negative form is made unsigned first.
    {"origCause_value", "0", Expect::kText, "No error"},
    {"destCause_value", "16", Expect::kText, "Normal call clearing"},
    {"DESTCAUSE_VALUE", " 17 ", Expect::kText, "User busy"},
    {"destCause_value", "127", Expect::kText, "\"Interworking, unspecified\""},
    {"destCause_value", "393216", Expect::kText, "Call split"},
    {"destCause_value", "2801795135", Expect::kText,
     "SIP 503 Service Unavailable (service or option not available)"},
    {"destCause_value", "-1493172161", Expect::kText,
     "SIP 503 Service Unavailable (service or option not available)"},
    {"destCause_value", "-1593835503", Expect::kText, "SIP 600 Busy Everywhere"},
    {"origCause_location", "0", Expect::kText, "User"},
    {"destCause_location", "10", Expect::kText, "Network beyond interworking point"},
    {"destCause_value", "12", Expect::kUnknown, ""},
    {"destCause_value", "83886207", Expect::kUnknown, ""},  // a misprint of the documentation
    {"destCause_value", "4294967295", Expect::kUnknown, ""},
    {"destCause_value", "-16", Expect::kUnknown, ""},
    {"destCause_location", "16", Expect::kUnknown, ""},
    {"destCause_value", "", Expect::kEmpty, ""},
    {"destCause_value", "  ", Expect::kEmpty, ""},
    {"destCause_value", "4294967296", Expect::kRejected, ""},
    {"destCause_value", "-2147483649", Expect::kRejected, ""},
    {"destCause_value", "-", Expect::kRejected, ""},
    {"destCause_value", "1 7", Expect::kRejected, ""},
    {"destCause_value", "- 17", Expect::kRejected, ""},
    {"destCause_value", "x", Expect::kRejected, ""},
    // The other codes; 0 of a media column is no media.
    {"origCalledPartyRedirectReason", "34", Expect::kText, "Blind transfer"},
    {"joinOnBehalfOf", "4", Expect::kText, "Conference"},
    {"origmediacap_payloadcapability", "\t4", Expect::kText, "G.711 \xC2\xB5-law 64k"},
    {"destVideoCap_Codec", "103", Expect::kText, "H.264"},
    {"callSecuredStatus", "2", Expect::kText, "Encrypted"},
    {"origPrecedenceLevel", "0", Expect::kText, "Flash override"},
    {"calledPartyPatternUsage", "7", Expect::kText, "Hunt pilot"},
    {"origMediaCap_payloadCapability", "0", Expect::kEmpty, ""},
    {"origVideoCap_Codec_Channel2", "0", Expect::kEmpty, ""},
    {"origMediaCap_payloadCapability", "17", Expect::kUnknown, ""},
    {"callSecuredStatus", "-1", Expect::kUnknown, ""},
    {"OutgoingProtocolID", "4294967296", Expect::kRejected, ""},
    // Durations with as many hour digits as needed.
    {"duration", "0", Expect::kText, "0:00:00"},
    {"duration", "59", Expect::kText, "0:00:59"},
    {"duration", "3725", Expect::kText, "1:02:05"},
    {"Duration", "86400", Expect::kText, "24:00:00"},
    {"duration", " 98 ", Expect::kText, "0:01:38"},
    {"totalWaitTimeInQueue", "4 ", Expect::kText, "0:00:04"},
    {"videoDuration", "3775", Expect::kText, "1:02:55"},
    {"duration", "4294967295", Expect::kText, "1193046:28:15"},
    {"duration", "4294967296", Expect::kRejected, ""},
    {"duration", "-5", Expect::kRejected, ""},
    {"duration", "", Expect::kEmpty, ""},
    // Voice quality: a column per key, values as written without the blanks around them.
    {"varVQMetrics",
     "\"MLQK=4.5000;MLQKav=4.4000;MLQKmn=4.1000;MLQKmx=4.5000;MLQKvr=0.95; "
     "CCR=0.0021;ICR=0.0000;ICRmx=0.0400;CS=1;SCS=0\"",
     Expect::kText, "4.5000,4.4000,4.1000,4.5000,0.95,0.0021,0.0000,0.0400,1,0"},
    {"varVQMetrics", "\"VoRxCodec=G711; SCS = 3 ;MLQK=4,5;MLQK=1;maxJitter=2=3\"", Expect::kText,
     "\"4,5\",,,,,,,,,3"},
    {"varVQMetrics", "MLQK=4.5\t 0; CS = 1\t", Expect::kText, "4.5\t 0,,,,,,,,1,"},
    {"varVQMetrics", "VoRxCodec=G711", Expect::kUnknown, ",,,,,,,,,"},
    {"varVQMetrics", "CS=123456789012345678901234567890123", Expect::kRejected, ",,,,,,,,,"},
    {"varVQMetrics", "", Expect::kEmpty, ",,,,,,,,,"},
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
    const std::uint64_t unknown =
        std::accumulate(tally.unknown_of.begin(), tally.unknown_of.end(), std::uint64_t{0});
    EXPECT_EQ(tally.converted, c.expect == Expect::kText ? 1U : 0U) << where;
    EXPECT_EQ(tally.empty, c.expect == Expect::kEmpty ? 1U : 0U) << where;
    EXPECT_EQ(tally.rejected.count, c.expect == Expect::kRejected ? 1U : 0U) << where;
    EXPECT_EQ(unknown, c.expect == Expect::kUnknown ? 1U : 0U) << where;
  }
}

// The code tables as the repository holds them: each row's code, and its name as the CSV writes
// it (quoted where it holds a comma) and as it reads (unquoted).
struct CodeRow {
  std::string code;
  std::string written;
  std::string name;
};

std::vector<CodeRow> ReadCodeTable(const std::string& file) {
  std::ifstream in(std::string(HALVRENN_RECORD_CODES) + "/" + file);
  EXPECT_TRUE(in) << file;
  std::vector<CodeRow> rows;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t comma = line.find(',');
    CodeRow row{line.substr(0, comma), line.substr(comma + 1), line.substr(comma + 1)};
    if (row.name.size() >= 2 && row.name.front() == '"') {
      row.name = row.name.substr(1, row.name.size() - 2);
      for (std::size_t at = row.name.find("\"\""); at != std::string::npos;
           at = row.name.find("\"\"", at + 1)) {
        row.name.erase(at, 1);
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// Every coded column of a call manager's records and the table that names its values.
const std::pair<const char*, const char*> kCodedColumns[] = {
    {"origCause_value", "cause.csv"},
    {"destCause_value", "cause.csv"},
    {"origCause_location", "cause_location.csv"},
    {"destCause_location", "cause_location.csv"},
    {"origCalledPartyRedirectReason", "redirect_reason.csv"},
    {"lastRedirectRedirectReason", "redirect_reason.csv"},
    {"origCallTerminationOnBehalfOf", "on_behalf_of.csv"},
    {"destCallTerminationOnBehalfOf", "on_behalf_of.csv"},
    {"origCalledPartyRedirectOnBehalfOf", "on_behalf_of.csv"},
    {"lastRedirectRedirectOnBehalfOf", "on_behalf_of.csv"},
    {"joinOnBehalfOf", "on_behalf_of.csv"},
    {"origMediaCap_payloadCapability", "codec.csv"},
    {"destMediaCap_payloadCapability", "codec.csv"},
    {"origVideoCap_Codec", "video_codec.csv"},
    {"destVideoCap_Codec", "video_codec.csv"},
    {"origVideoCap_Codec_Channel2", "video_codec.csv"},
    {"destVideoCap_Codec_Channel2", "video_codec.csv"},
    {"callSecuredStatus", "call_security.csv"},
    {"origPrecedenceLevel", "precedence.csv"},
    {"destPrecedenceLevel", "precedence.csv"},
    {"origDTMFMethod", "dtmf_method.csv"},
    {"destDTMFMethod", "dtmf_method.csv"},
    {"IncomingProtocolID", "protocol.csv"},
    {"OutgoingProtocolID", "protocol.csv"},
    {"currentRoutingReason", "routing_reason.csv"},
    {"origRoutingReason", "routing_reason.csv"},
    {"lastRedirectingRoutingReason", "routing_reason.csv"},
    {"calledPartyPatternUsage", "pattern_usage.csv"},
};

// Each code of its table, and the negative form of those above 2147483647, gets the table's
// name; the type row's VARCHAR(n) holds the longest.
TEST(CdrDecoded, EveryCodeOfTheCallManagersTables) {
  Options options;
  options.jobs = 1;
  for (const auto& [column, file] : kCodedColumns) {
    const std::vector<CodeRow> rows = ReadCodeTable(file);
    ASSERT_FALSE(rows.empty()) << file;
    std::string input = std::string(column) + "\nINTEGER\n";
    std::string expected;
    std::size_t longest = 0;
    for (const CodeRow& row : rows) {
      const long long code = std::stoll(row.code);
      const std::string negative = code > 2147483647 ? std::to_string(code - 4294967296LL) : "";
      for (const std::string& value : {row.code, negative}) {
        if (value.empty()) continue;
        input += value + "\n";
        expected += value + "," + row.written + "\n";
      }
      longest = std::max(longest, row.name.size());
    }
    const Converted converted = Convert(input, options);
    EXPECT_EQ(converted.text, std::string(column) + "," + column + "_text\nINTEGER,VARCHAR(" +
                                  std::to_string(longest) + ")\n" + expected)
        << column;
    EXPECT_EQ(converted.summary.tally.converted, converted.summary.tally.records) << column;
  }
}

// Each key of the quality table gets its column, in the table's order.
TEST(CdrDecoded, EveryKeyOfTheQualityTable) {
  const std::vector<CodeRow> keys = ReadCodeTable("quality_keys.csv");
  ASSERT_FALSE(keys.empty());
  std::string names = "varVQMetrics";
  std::string metrics;
  std::string values;
  // Written in the reverse order, each with a value of its own.
  for (std::size_t i = keys.size(); i-- > 0;)
    metrics += keys[i].code + "=" + std::to_string(i) + ";";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    names += ",varVQMetrics_" + keys[i].code;
    values += "," + std::to_string(i);
  }
  Options options;
  options.jobs = 1;
  EXPECT_EQ(Convert("varVQMetrics\n" + metrics + "\n", options).text,
            names + "\n" + metrics + values + "\n");
}

// A delimiter that a text holds quotes it, whichever the delimiter.
TEST(CdrDecoded, TextsThatHoldTheDelimiterAreQuoted) {
  const struct {
    char delimiter;
    const char* input;
    const char* output;
  } cases[] = {
      {',', "destCause_value\n31\n",
       "destCause_value,destCause_value_text\n31,\"Normal, unspecified\"\n"},
      {';', "destCause_value\n31\n",
       "destCause_value;destCause_value_text\n31;Normal, unspecified\n"},
      {';', "varVQMetrics\n\"MLQK=4,5;CS=0\"\n",
       "varVQMetrics;varVQMetrics_MLQK;varVQMetrics_MLQKav;varVQMetrics_MLQKmn;varVQMetrics_MLQKmx;"
       "varVQMetrics_MLQKvr;varVQMetrics_CCR;varVQMetrics_ICR;varVQMetrics_ICRmx;varVQMetrics_CS;"
       "varVQMetrics_SCS\n\"MLQK=4,5;CS=0\";4,5;;;;;;;;0;\n"},
      {'.', "origIpAddr\n16777343\n", "origIpAddr.origIpAddr_ip\n16777343.\"127.0.0.1\"\n"},
  };
  for (const auto& c : cases) {
    Options options;
    options.jobs = 1;
    options.delimiter = c.delimiter;
    EXPECT_EQ(Convert(c.input, options).text, c.output) << c.input;
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
            "INTEGER,INTEGER,INTEGER,VARCHAR(19),VARCHAR(19),VARCHAR(13),VARCHAR(100)\n"
            "3725,86400,17,1970-01-02 00:00:00,1970-01-02 00:00:00,1:02:05,User busy\n"
            "0,0,12,,,0:00:00,\n");
  EXPECT_EQ(SummaryText(converted.summary),
            "2 records, 1 times, 1 causes, 2 durations converted, 1 empty, 0 rejected, 1 unknown "
            "causes, 0 malformed");

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
