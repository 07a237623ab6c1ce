#pragma once

// The kinds of column that are decoded, as one table: for each kind, its word in --decode's
// list, the header names it recognises, the fields it adds to each, its words in the summary,
// and the maker of its decoder (column_decoder.h). A new kind is its enumerator and its entry
// here, and the file of its decoder.
//
// Example: the entry of the causes recognises origCause_value and destCause_value (and their
// locations), adds <column>_text to each through the call manager's table of causes, is "cause"
// in --decode's list, and its values read "2000 causes" and "3 unknown causes" in the summary.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "cdr/format/code_tables.h"
#include "cdr/format/column_decoder.h"
#include "cdr/format/time_texts.h"

namespace halvrenn::cdr {

// In the order of the table's entries.
enum class ColumnKind : unsigned char { kTime, kIpAddress, kCause, kDuration, kCode, kQuality };

enum class Unit : unsigned char { kSeconds, kMilliseconds, kMicroseconds };

// Raw counts per second of each unit.
constexpr std::int64_t UnitsPerSecond(Unit unit) {
  return unit == Unit::kSeconds ? 1 : unit == Unit::kMilliseconds ? 1000 : 1000000;
}

// A header name that a kind recognises, letter case ignored: the name itself, or any longer
// name that ends in it. `variant` goes to the kind's decoder with each column of that name: the
// Unit of a time stamp, the CodeTable of a code; a kind of one variant has 0.
struct NamePattern {
  enum class Match : unsigned char { kWhole, kEnding };
  std::string_view text;
  Match match = Match::kWhole;
  unsigned variant = 0;
};

// What a decoder may depend on beside its column's variant.
struct DecoderSettings {
  char delimiter = ',';
  std::span<const TimeText> time_texts;  // added to each time stamp, in this order
  TextFormat format = TextFormat::kIso;
  TimeTexts& texts;  // the converting thread's own; it outlives the decoders
};

using MakeDecoder = std::unique_ptr<ColumnDecoder> (*)(unsigned variant,
                                                       const DecoderSettings& settings);

struct ColumnKindEntry {
  ColumnKind kind;
  std::string_view decode_word;          // in --decode's list
  std::span<const NamePattern> names;    // the first pattern a name matches gives its variant
  std::span<const AddedField> fields{};  // added to each column; none: its decoder's own
  // What its texts may hold, and so who quotes them.
  enum class Texts : unsigned char {
    kPlain,    // only digits and the marks + - : . and blank (or a locale's dates)
    kFree,     // any character, the delimiter and quotes among them: the converter quotes them
    kWritten,  // fields as CSV writes them, quoted by the decoder where they need it
  };
  Texts texts = Texts::kPlain;
  std::string_view counted;    // its converted values in the summary: "2000 addresses"
  std::string_view unknown{};  // its values that its table lacks: "3 unknown causes"; none: empty
  MakeDecoder make;
};

// The decoders, one file each; `variant` is that of the name the column matched.
std::unique_ptr<ColumnDecoder> MakeTimeStampDecoder(unsigned variant,
                                                    const DecoderSettings& settings);
std::unique_ptr<ColumnDecoder> MakeIpAddressDecoder(unsigned variant,
                                                    const DecoderSettings& settings);
std::unique_ptr<ColumnDecoder> MakeCodeDecoder(unsigned variant, const DecoderSettings& settings);
std::unique_ptr<ColumnDecoder> MakeDurationDecoder(unsigned variant,
                                                   const DecoderSettings& settings);
std::unique_ptr<ColumnDecoder> MakeQualityDecoder(unsigned variant,
                                                  const DecoderSettings& settings);

namespace kinds {

// Counts since 1970: the call manager's in seconds, and by their names' endings.
inline constexpr std::array<NamePattern, 6> kTimeNames = {{
    {"dateTimeOrigination"},
    {"dateTimeConnect"},
    {"dateTimeDisconnect"},
    {"dateTimeStamp"},
    {"_uepoch", NamePattern::Match::kEnding, static_cast<unsigned>(Unit::kMicroseconds)},
    {"_epoch", NamePattern::Match::kEnding, static_cast<unsigned>(Unit::kSeconds)},
}};

// A call manager's IPv4 columns: the signalling, media and video transport addresses.
inline constexpr std::array<NamePattern, 8> kIpAddressNames = {{
    {"origIpAddr"},
    {"destIpAddr"},
    {"origMediaTransportAddress_IP"},
    {"destMediaTransportAddress_IP"},
    {"origVideoTransportAddress_IP"},
    {"destVideoTransportAddress_IP"},
    {"origVideoTransportAddress_IP_Channel2"},
    {"destVideoTransportAddress_IP_Channel2"},
}};
inline constexpr std::array<AddedField, 1> kIpAddressFields = {{{"ip", 15}}};  // 255.255.255.255

constexpr NamePattern Coded(std::string_view name, CodeTable table) {
  return {name, NamePattern::Match::kWhole, static_cast<unsigned>(table)};
}

inline constexpr std::array<NamePattern, 4> kCauseNames = {{
    Coded("origCause_value", CodeTable::kCause),
    Coded("destCause_value", CodeTable::kCause),
    Coded("origCause_location", CodeTable::kCauseLocation),
    Coded("destCause_location", CodeTable::kCauseLocation),
}};

// The call manager's other coded columns, each through the table of what it holds.
inline constexpr std::array<NamePattern, 24> kCodeNames = {{
    Coded("origCalledPartyRedirectReason", CodeTable::kRedirectReason),
    Coded("lastRedirectRedirectReason", CodeTable::kRedirectReason),
    Coded("origCallTerminationOnBehalfOf", CodeTable::kOnBehalfOf),
    Coded("destCallTerminationOnBehalfOf", CodeTable::kOnBehalfOf),
    Coded("origCalledPartyRedirectOnBehalfOf", CodeTable::kOnBehalfOf),
    Coded("lastRedirectRedirectOnBehalfOf", CodeTable::kOnBehalfOf),
    Coded("joinOnBehalfOf", CodeTable::kOnBehalfOf),
    Coded("origMediaCap_payloadCapability", CodeTable::kCodec),
    Coded("destMediaCap_payloadCapability", CodeTable::kCodec),
    Coded("origVideoCap_Codec", CodeTable::kVideoCodec),
    Coded("destVideoCap_Codec", CodeTable::kVideoCodec),
    Coded("origVideoCap_Codec_Channel2", CodeTable::kVideoCodec),
    Coded("destVideoCap_Codec_Channel2", CodeTable::kVideoCodec),
    Coded("callSecuredStatus", CodeTable::kCallSecurity),
    Coded("origPrecedenceLevel", CodeTable::kPrecedence),
    Coded("destPrecedenceLevel", CodeTable::kPrecedence),
    Coded("origDTMFMethod", CodeTable::kDtmfMethod),
    Coded("destDTMFMethod", CodeTable::kDtmfMethod),
    Coded("IncomingProtocolID", CodeTable::kProtocol),
    Coded("OutgoingProtocolID", CodeTable::kProtocol),
    Coded("currentRoutingReason", CodeTable::kRoutingReason),
    Coded("origRoutingReason", CodeTable::kRoutingReason),
    Coded("lastRedirectingRoutingReason", CodeTable::kRoutingReason),
    Coded("calledPartyPatternUsage", CodeTable::kPatternUsage),
}};

// Whole seconds: a call's, a queue's wait, a mobile leg's, a call management record's video.
inline constexpr std::array<NamePattern, 5> kDurationNames = {{
    {"duration"},
    {"totalWaitTimeInQueue"},
    {"origMobileCallDuration"},
    {"destMobileCallDuration"},
    {"videoDuration"},
}};
inline constexpr std::array<AddedField, 1> kDurationFields = {{{"hms", 13}}};  // 1193046:28:15

// A call management record's voice quality text; it adds a column per key of quality_keys.csv.
inline constexpr std::array<NamePattern, 1> kQualityNames = {{{"varVQMetrics"}}};

}  // namespace kinds

inline constexpr std::array<ColumnKindEntry, 6> kColumnKindTable = {{
    {.kind = ColumnKind::kTime,
     .decode_word = "time",
     .names = kinds::kTimeNames,
     .fields = {},  // the time texts chosen
     .counted = "times",
     .make = MakeTimeStampDecoder},
    {.kind = ColumnKind::kIpAddress,
     .decode_word = "ip",
     .names = kinds::kIpAddressNames,
     .fields = kinds::kIpAddressFields,
     .counted = "addresses",
     .make = MakeIpAddressDecoder},
    {.kind = ColumnKind::kCause,
     .decode_word = "cause",
     .names = kinds::kCauseNames,
     .fields = {},  // <column>_text, as long as its table's longest name
     .texts = ColumnKindEntry::Texts::kWritten,  // "Normal, unspecified", in quotes
     .counted = "causes",
     .unknown = "unknown causes",
     .make = MakeCodeDecoder},
    {.kind = ColumnKind::kDuration,
     .decode_word = "duration",
     .names = kinds::kDurationNames,
     .fields = kinds::kDurationFields,
     .counted = "durations",
     .make = MakeDurationDecoder},
    {.kind = ColumnKind::kCode,
     .decode_word = "code",
     .names = kinds::kCodeNames,
     .fields = {},  // <column>_text, as long as its table's longest name
     .texts = ColumnKindEntry::Texts::kWritten,
     .counted = "codes",
     .unknown = "unknown codes",
     .make = MakeCodeDecoder},
    {.kind = ColumnKind::kQuality,
     .decode_word = "quality",
     .names = kinds::kQualityNames,
     .fields = {},                            // varVQMetrics_<key> per key of the table
     .texts = ColumnKindEntry::Texts::kFree,  // values as written
     .counted = "quality texts",
     .unknown = "quality texts without a known key",
     .make = MakeQualityDecoder},
}};

inline constexpr std::size_t kColumnKinds = kColumnKindTable.size();

constexpr const ColumnKindEntry& EntryOf(ColumnKind kind) {
  return kColumnKindTable[static_cast<std::size_t>(kind)];
}

constexpr bool EntriesInKindOrder() {
  for (std::size_t i = 0; i < kColumnKinds; ++i) {
    if (static_cast<std::size_t>(kColumnKindTable[i].kind) != i) return false;
  }
  return true;
}
static_assert(EntriesInKindOrder(), "each kind's entry is at its enumerator's place");

// Which kinds to decode: a bit per kind, all by default.
struct KindSet {
  unsigned bits = (1U << kColumnKinds) - 1;
  bool Has(ColumnKind kind) const { return (bits >> static_cast<unsigned>(kind) & 1U) != 0; }
};

}  // namespace halvrenn::cdr
