// Properties over generated files: dropping the added fields gives the input back byte for byte,
// however the input is split into pieces; and the split over threads gives exactly the bytes and
// counts of one thread, on files made to make the split hard.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "cdr/convert/conversion.h"
#include "cdr_round_trip.h"
#include "convert_in_memory.h"

namespace halvrenn::cdr {
namespace {

class FileMaker {
 public:
  explicit FileMaker(unsigned seed) : random_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  // A field: a count in or out of range, empty, text with the characters that matter to CSV,
  // quoted or not, or raw bytes that need not make sense.
  std::string Field(char delimiter) {
    static const std::vector<std::string> kSpecial = {"0",
                                                      "",
                                                      "\"\"",
                                                      "-5",
                                                      "4294967296",
                                                      "abc",
                                                      " 17 ",
                                                      "\"86400\"",
                                                      "-1493172161",
                                                      "99999999999999999999999",
                                                      "\"MLQK=4.5000; CCR=0.0021;CS=0\"",
                                                      "MLQK=4,5;SCS=1"};
    switch (Below(7)) {
      case 0:
      case 1:
        return std::to_string(1 + Below(4294967295));
      case 6:
        return std::to_string(Below(160));  // most codes are small
      case 2:
        return kSpecial[Below(kSpecial.size())];
      case 3: {
        std::string quoted = "\"";
        for (std::size_t i = Below(12); i > 0; --i) {
          const char c = Pick(delimiter);
          quoted += c;
          if (c == '"') quoted += '"';
        }
        return quoted + "\"";
      }
      default: {
        std::string raw;
        for (std::size_t i = Below(8); i > 0; --i) raw += Pick(delimiter);
        return raw;
      }
    }
  }

  std::string LineBreak() { return std::array{"\r\n", "\n", "\n", "\r"}[Below(4)]; }

  // A header of time stamps and other names, maybe a type row, then records.
  std::string File(char delimiter, std::size_t records) {
    static const std::vector<std::string> kNames = {
        "dateTimeOrigination",  "dateTimeConnect",   "\"dateTimeDisconnect\"",
        "start_epoch",          "cdrRecordType",     "globalCallID_callId",
        "\"origIpAddr\"",       "duration",          "destCause_value",
        "origCause_location",   "joinOnBehalfOf",    "\"origMediaCap_payloadCapability\"",
        "totalWaitTimeInQueue", "callSecuredStatus", "varVQMetrics"};
    std::string file = Below(5) == 0 ? "\xEF\xBB\xBF" : "";
    const std::size_t fields = 1 + Below(kNames.size());
    for (std::size_t i = 0; i < fields; ++i) {
      if (i > 0) file += delimiter;
      file += kNames[Below(kNames.size())];
    }
    file += LineBreak();
    if (Below(2) == 0) {
      for (std::size_t i = 0; i < fields; ++i)
        file += (i > 0 ? std::string(1, delimiter) : "") + "INTEGER";
      file += LineBreak();
    }
    for (std::size_t r = 0; r < records; ++r) {
      const std::size_t count = Below(4) == 0 ? Below(fields + 2) : fields;
      for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) file += delimiter;
        file += Field(delimiter);
      }
      if (r + 1 < records || Below(2) == 0) file += LineBreak();
    }
    return file;
  }

 private:
  char Pick(char delimiter) {
    static const std::string kCharacters = "ab1 \"\r\n\xff";
    return Below(6) == 0 ? delimiter : kCharacters[Below(kCharacters.size())];
  }

  std::mt19937 random_;
};

TEST(CdrRoundTrip, DroppingTheAddedFieldsGivesTheInputBack) {
  constexpr TimeText kAll[] = {TimeText::kGmt, TimeText::kLocal, TimeText::kOffset,
                               TimeText::kStandard, TimeText::kDaylight};
  for (unsigned seed = 1; seed <= 400; ++seed) {
    FileMaker maker(seed);
    Options options;
    options.delimiter = ",;\t"[maker.Below(3)];
    options.zone = "America/New_York";
    options.jobs = 1;
    options.format = maker.Below(4) == 0 ? TextFormat::kLocale : TextFormat::kIso;
    options.time_texts.clear();
    for (std::size_t i = 1 + maker.Below(4); i > 0; --i)
      options.time_texts.push_back(kAll[maker.Below(5)]);
    const std::string input = maker.File(*options.delimiter, maker.Below(30));

    // The fuzz target's property, on files made to hold the names and values that matter.
    const Converted whole = Convert(input, options, SIZE_MAX);
    ASSERT_EQ(fuzz::RoundTripFault(input, whole.text, *options.delimiter, options.time_texts.size(),
                                   options.decode.bits),
              "")
        << "seed " << seed;
    ASSERT_EQ(Convert(input, options, 1 + maker.Below(40)).text, whole.text) << "seed " << seed;
  }
}

// Records that straddle the block edges: quotes and doubled quotes, CRLF, blank lines, line
// breaks inside quoted fields (never, once in the middle, or in every few records, each a wrong
// guess of where a block ends), or one record longer than any block; or CR-only line ends with
// some CRLF, one of which straddles every edge of the blocks that two threads read.
enum class Breaks { kNone, kOnce, kOften, kLongRecord, kCrOnly };

constexpr std::size_t kPieceOfTwoThreads = (std::size_t{1} << 20) - 2;

std::string HardToSplit(Breaks breaks) {
  std::string file =
      "duration,dateTimeOrigination,note,destCause_value\r\nINTEGER,INTEGER,VARCHAR(9),INTEGER\r\n";
  FileMaker maker(7);
  // Where the conversion in blocks reads up to: the first piece, then blocks of 512 KiB.
  std::size_t next_edge = kPieceOfTwoThreads;
  for (std::size_t record = 0; file.size() < (std::size_t{13} << 20); ++record) {
    std::string line =
        std::to_string(record) + "," + std::to_string(1700000000 + record * 977) + ",";
    switch (record % 5) {
      case 0:
        line += breaks == Breaks::kOften ? "\"" + std::string(maker.Below(3000), '\n') + "\"\"\""
                                         : "\"a,\"\"\"";
        break;
      case 1:
        line += "\",\"\"\"";
        break;
      case 2:
        line += "x\"y";
        break;
      default:
        break;
    }
    line += record % 11 == 0 ? ",0" : "," + std::to_string(1800000000 + record);
    if (breaks == Breaks::kCrOnly) {
      if (file.size() + line.size() + 200 > next_edge) {
        // Zeros before the first number bring this record's CR to the last byte of the block.
        line.insert(0, next_edge - 1 - file.size() - line.size(), '0');
        next_edge += std::size_t{1} << 19;
        line += "\r\n";
      } else {
        line += record % 3 == 0 ? "\r\n" : "\r";
      }
      if (record % 17 == 0) line += "\r";
    } else {
      line += record % 3 == 0 ? "\r\n" : "\n";
      if (record % 17 == 0) line += "\n";
    }
    file += line;
    if (breaks == Breaks::kOnce && record == 20000) file += "1,2,\"\n\n\",3\n";
    if (breaks == Breaks::kLongRecord && record == 2000) {
      file += "1,2,\"" + std::string(9 << 20, ',') + "\",3\n";
    }
  }
  return file + "\"unterminated,1\n2";
}

TEST(CdrRoundTrip, ThreadsGiveTheBytesOfOneThread) {
  for (const Breaks breaks :
       {Breaks::kNone, Breaks::kOnce, Breaks::kOften, Breaks::kLongRecord, Breaks::kCrOnly}) {
    const std::string input = HardToSplit(breaks);
    Options options;
    options.zone = "Europe/Paris";
    options.time_texts = {TimeText::kLocal, TimeText::kOffset};
    options.jobs = 1;
    const Converted one = Convert(input, options, SIZE_MAX);
    EXPECT_EQ(one.summary.tally.malformed.count, 1U);  // the unterminated quote at the end
    EXPECT_EQ(
        fuzz::RoundTripFault(input, one.text, ',', options.time_texts.size(), options.decode.bits),
        "");
    EXPECT_GT(one.summary.tally.UnknownOf(ColumnKind::kCause), 0U);
    for (const unsigned jobs : {2U, 3U}) {
      options.jobs = jobs;
      const Converted many = Convert(input, options, kPieceOfTwoThreads + 2 - jobs);
      ASSERT_TRUE(many.text == one.text) << jobs << " threads";
      const Tally& a = one.summary.tally;
      const Tally& b = many.summary.tally;
      EXPECT_EQ(a.records, b.records);
      EXPECT_EQ(a.converted, b.converted);
      EXPECT_EQ(a.converted_of, b.converted_of);
      EXPECT_EQ(a.unknown_of, b.unknown_of);
      EXPECT_EQ(a.empty, b.empty);
      EXPECT_EQ(a.rejected.count, b.rejected.count);
      EXPECT_EQ(a.rejected.first, b.rejected.first);
      EXPECT_EQ(a.malformed.first, b.malformed.first);
      EXPECT_EQ(a.line_breaks, b.line_breaks);
    }
  }
}

}  // namespace
}  // namespace halvrenn::cdr
