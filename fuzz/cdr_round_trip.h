#pragma once

// The round trip of a conversion, read apart from the converter: dropping the fields that it
// added at the end of each record gives the input back, byte for byte. Records are read as
// RFC 4180 reads them, leniently: a quote opens a quoted field only at the field's start, a
// doubled quote inside stands for one, and a record ends at LF, CRLF or a lone CR outside quotes.
// Blank lines after the header and a last record left open by an unterminated quote get no fields.

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "time/ascii_text.h"

namespace halvrenn::fuzz {

struct RecordSplit {
  std::size_t content_end;  // where the record's text ends: before its line break
  std::size_t next;         // where the next record starts
  bool unterminated_quote;
  std::size_t last_fields_start[64];  // starts of its fields, the last ones (ring)
  std::size_t fields;
};

// Reads the record that starts at `begin`.
inline RecordSplit ReadRecord(std::string_view text, std::size_t begin, char delimiter) {
  RecordSplit split{text.size(), text.size(), false, {}, 1};
  split.last_fields_start[0] = begin;
  bool quoted = false;
  bool field_start = true;
  for (std::size_t i = begin; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          ++i;
        } else {
          quoted = false;
        }
      }
      continue;
    }
    if (c == '\n' || c == '\r') {
      split.content_end = i;
      split.next = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? i + 2 : i + 1;
      return split;
    }
    if (c == delimiter) {
      split.last_fields_start[split.fields % 64] = i + 1;
      ++split.fields;
      field_start = true;
      continue;
    }
    if (c == '"' && field_start) quoted = true;
    field_start = false;
  }
  split.unterminated_quote = quoted;
  return split;
}

inline std::size_t FieldsOfFirstRecord(std::string_view text, char delimiter) {
  return ReadRecord(text, 0, delimiter).fields;
}

// The names of the first record, unquoted as RFC 4180 reads them. A byte-order mark is no part
// of the first name, which it keeps from opening a quoted field: such a name is unquoted only
// where a quote both starts and ends it.
inline std::vector<std::string> NamesOfFirstRecord(std::string_view text, char delimiter) {
  const RecordSplit split = ReadRecord(text, 0, delimiter);
  std::vector<std::string> names(1);
  bool quoted = false;
  bool field_start = true;
  for (std::size_t i = 0; i < split.content_end; ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < split.content_end && text[i + 1] == '"') {
        names.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        names.back() += c;
      }
    } else if (c == delimiter) {
      names.emplace_back();
      field_start = true;
      continue;
    } else if (c == '"' && field_start) {
      quoted = true;
    } else {
      names.back() += c;
    }
    field_start = false;
  }
  std::string& first = names.front();
  if (first.starts_with("\xEF\xBB\xBF")) {
    first.erase(0, 3);
    if (first.size() >= 2 && first.front() == '"' && first.back() == '"') {
      std::string unquoted;
      for (std::size_t i = 1; i + 1 < first.size(); ++i) {
        unquoted += first[i];
        if (first[i] == '"' && first[i + 1] == '"') ++i;
      }
      first = unquoted;
    }
  }
  return names;
}

// How many fields the conversion adds to each record, from the header's names alone: `per_time`
// for each time stamp, one for each address, cause, duration and code, and one per key of the
// quality table (ten) for a voice quality text, of the kinds decoded (bits: 1 time, 2 addresses,
// 4 causes, 8 durations, 16 codes, 32 quality).
inline std::size_t AddedFieldsOf(std::string_view text, char delimiter, std::size_t per_time,
                                 unsigned kinds) {
  const auto ends = [](const std::string& name, std::string_view end) {
    return name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  const auto among = [](const std::string& name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::size_t added = 0;
  for (const std::string& raw : NamesOfFirstRecord(text, delimiter)) {
    const std::string name = AsciiLowered(raw);
    const bool time = among(name, {"datetimeorigination", "datetimeconnect", "datetimedisconnect",
                                   "datetimestamp"}) ||
                      ends(name, "_epoch") || ends(name, "_uepoch");
    const bool address =
        among(name, {"origipaddr", "destipaddr", "origmediatransportaddress_ip",
                     "destmediatransportaddress_ip", "origvideotransportaddress_ip",
                     "destvideotransportaddress_ip", "origvideotransportaddress_ip_channel2",
                     "destvideotransportaddress_ip_channel2"});
    const bool cause = among(
        name, {"origcause_value", "destcause_value", "origcause_location", "destcause_location"});
    const bool duration = among(name, {"duration", "totalwaittimeinqueue", "origmobilecallduration",
                                       "destmobilecallduration", "videoduration"});
    const bool code = among(name, {"origcalledpartyredirectreason",
                                   "lastredirectredirectreason",
                                   "origcallterminationonbehalfof",
                                   "destcallterminationonbehalfof",
                                   "origcalledpartyredirectonbehalfof",
                                   "lastredirectredirectonbehalfof",
                                   "joinonbehalfof",
                                   "origmediacap_payloadcapability",
                                   "destmediacap_payloadcapability",
                                   "origvideocap_codec",
                                   "destvideocap_codec",
                                   "origvideocap_codec_channel2",
                                   "destvideocap_codec_channel2",
                                   "callsecuredstatus",
                                   "origprecedencelevel",
                                   "destprecedencelevel",
                                   "origdtmfmethod",
                                   "destdtmfmethod",
                                   "incomingprotocolid",
                                   "outgoingprotocolid",
                                   "currentroutingreason",
                                   "origroutingreason",
                                   "lastredirectingroutingreason",
                                   "calledpartypatternusage"});
    if (time && (kinds & 1) != 0) added += per_time;
    if (address && (kinds & 2) != 0) ++added;
    if (cause && (kinds & 4) != 0) ++added;
    if (duration && (kinds & 8) != 0) ++added;
    if (code && (kinds & 16) != 0) ++added;
    if (name == "varvqmetrics" && (kinds & 32) != 0) added += 10;
  }
  return added;
}

// `converted` without the last `added` fields of every record that got them; `added` < 64.
inline std::string DropAddedFields(std::string_view converted, char delimiter, std::size_t added) {
  std::string original;
  std::size_t begin = 0;
  bool header = true;
  while (begin < converted.size()) {
    const RecordSplit split = ReadRecord(converted, begin, delimiter);
    const bool blank = !header && split.content_end == begin && split.fields == 1;
    if (blank || split.unterminated_quote || added == 0 || split.fields <= added) {
      original.append(converted.substr(begin, split.next - begin));
    } else {
      // The delimiter before the first added field ends the original record's text.
      const std::size_t cut = split.last_fields_start[(split.fields - added) % 64] - 1;
      original.append(converted.substr(begin, cut - begin));
      original.append(converted.substr(split.content_end, split.next - split.content_end));
    }
    header = false;
    begin = split.next;
  }
  return original;
}

// What the conversion of `file` into `converted` broke, or nothing: the header gains the fields
// its names call for, `per_time` for each time stamp and one for each column of the kinds
// decoded, and dropping them gives the file back. A header whose quote never closes, and one
// longer than 4 MiB, is copied unchanged.
inline std::string RoundTripFault(std::string_view file, std::string_view converted, char delimiter,
                                  std::size_t per_time, unsigned kinds) {
  const std::size_t added =
      FieldsOfFirstRecord(converted, delimiter) - FieldsOfFirstRecord(file, delimiter);
  const bool copied = added == 0 && (ReadRecord(file, 0, delimiter).unterminated_quote ||
                                     file.size() > (std::size_t{4} << 20));
  if (!copied && added != AddedFieldsOf(file, delimiter, per_time, kinds)) {
    return "the header gains the fields of the columns of the kinds decoded";
  }
  if (DropAddedFields(converted, delimiter, added) != file) {
    return "dropping the added fields gives the file back";
  }
  return {};
}

}  // namespace halvrenn::fuzz
