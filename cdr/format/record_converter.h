#pragma once

// The conversion of records, streaming: bytes go in in pieces of any size, and every byte comes
// out again in order, with the added fields inserted at the end of each record, before its line
// break. The record scanner (record_scanner.h) splits the records; this consumer of it reads
// the decoded columns' digits, spots the type row, tallies, and writes what each column's decoder
// adds (column_decoder.h), so memory stays flat whatever the size of a record.
//
// Example, with dateTimeOrigination at index 1, added gmt:
//   in   `id,dateTimeOrigination\r\n7,1796619600\r\n8,0\n`
//   out  `id,dateTimeOrigination,dateTimeOrigination_gmt\r\n7,1796619600,2026-12-07
//   05:00:00\r\n8,0,\n`

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cdr/format/column_decoder.h"
#include "cdr/format/column_kinds.h"
#include "cdr/format/columns.h"
#include "cdr/format/record_scanner.h"
#include "cdr/format/tally.h"
#include "cdr/format/time_texts.h"

namespace halvrenn::cdr {

struct Layout {
  char delimiter = ',';
  std::size_t field_count = 0;       // the header's
  std::vector<Column> columns;       // the time stamps, then the others, each in header order
  std::vector<TimeText> time_texts;  // added to each time stamp, in this order
  TextFormat format = TextFormat::kIso;
};

class RecordConverter {
 public:
  // With `from_header` the bytes begin with the header record, and the second record may be the
  // type row of a call manager's file; without, they begin with a data record that follows them.
  RecordConverter(const Layout& layout, TimeTexts& texts, bool from_header);

  // Converts the next piece of the input, appending to `out`.
  void Feed(std::string_view data, std::string& out);
  // Ends the input: the last record, if the input does not end with a line break.
  void Finish(std::string& out);

  const Tally& Counts() {
    tally_.line_breaks = scanner_.LineBreaks();
    return tally_;
  }
  // Whether the last byte fed ended a record (or nothing was fed).
  bool AtRecordStart() const { return scanner_.AtRecordStart(); }
  // Whether the header and the type row (or the record in its place) are behind.
  bool PastTypeRow() const { return record_index_ >= 2; }

  // What the scanner calls.
  std::size_t NextWanted(std::size_t field);
  void Content(const char* from, const char* to);
  void EndField(bool quoted);
  void Pass(const char* from, const char* to) {
    out_->append(from, static_cast<std::size_t>(to - from));
  }
  bool EndRecord(const RecordEnd& end);
  void EndInQuotes(std::uint64_t line);

 private:
  void AppendValues(std::string& out);
  void QuoteFrom(std::string& out, std::size_t from) const;

  const Layout& layout_;
  std::vector<std::unique_ptr<ColumnDecoder>> decoders_;  // one per decoded column, by slot
  // What reads each header field: its slot's value or text reader, none for a field that is not
  // decoded; and the first decoded field from it on.
  struct FieldTarget {
    IntegerValue* value = nullptr;
    ColumnDecoder* reader = nullptr;
    std::size_t next = SIZE_MAX;
  };
  std::vector<FieldTarget> targets_;
  // What writing a record's added fields needs of each slot, side by side: the loop over them
  // runs for every record.
  struct Slot {
    ColumnDecoder* decoder = nullptr;
    std::span<const AddedField> fields;  // what its decoder adds
    std::size_t kind = 0;                // its ColumnKind, for the counts
    bool reads_text = false;
    bool check_quotes = false;  // whether its texts may hold the delimiter or a quote
  };
  std::vector<Slot> slots_;
  std::vector<ColumnDecoder*> text_readers_;  // the decoders that read their field as text
  std::string header_fields_;  // what the header, the type row and an empty record get
  std::string type_fields_;
  std::string empty_fields_;

  std::string* out_ = nullptr;  // of the piece being fed
  std::uint64_t record_index_;
  std::uint64_t record_line_ = 1;  // where the record being ended starts
  std::vector<IntegerValue> values_;
  IntegerValue* value_ = nullptr;         // of the current field, when it is read as an integer
  ColumnDecoder* text_reader_ = nullptr;  // of the current field, when it is read as text

  // The second record may be the type row: every field a type word such as INTEGER or
  // VARCHAR(50), with as many fields as the header.
  bool checking_types_ = false;
  bool all_types_ = false;
  std::string type_word_;

  Tally tally_;
  RecordScanner<RecordConverter> scanner_;
};

// Reads a type row's word: upper-case letters, digits, blanks and underscores starting with a
// letter, optionally followed by a size such as (50) or (10,2).
bool IsTypeWord(std::string_view word);

// The scanner's calls, here so that they inline into its loop.
inline std::size_t RecordConverter::NextWanted(std::size_t field) {
  static constexpr FieldTarget kBeyond{};
  const FieldTarget& target = field < targets_.size() ? targets_[field] : kBeyond;
  value_ = target.value;
  text_reader_ = target.reader;
  if (checking_types_) {
    // Every field of a possible type row is read; it may be a data record all the same.
    type_word_.clear();
    return field;
  }
  return target.next;
}

inline void RecordConverter::Content(const char* from, const char* to) {
  if (value_ != nullptr) {
    // Read into a local, so that the number stays in a register.
    IntegerValue value = *value_;
    value.AddAll(from, to);
    *value_ = value;
  } else if (text_reader_ != nullptr) {
    text_reader_->Read(std::string_view(from, static_cast<std::size_t>(to - from)));
  }
  if (checking_types_) {
    const std::size_t room = type_word_.size() <= 64 ? 65 - type_word_.size() : 0;
    type_word_.append(from, std::min(room, static_cast<std::size_t>(to - from)));
  }
}

inline void RecordConverter::EndField(bool /*quoted*/) {
  if (text_reader_ != nullptr) text_reader_->EndText();
  if (checking_types_ && !IsTypeWord(type_word_)) all_types_ = false;
}

}  // namespace halvrenn::cdr
