#pragma once

// What decodes one column: a column of the header that a kind recognises (column_kinds.h) gets a
// ColumnDecoder, which judges each of its values and writes the texts of the fields it adds at
// the end of the record. Each kind's decoder is a file of its own: time stamps
// (time_stamp_decoder.cpp), IPv4 addresses, the call manager's codes (code_decoder.cpp),
// durations, and the voice quality text of a call management record (quality_decoder.cpp).
//
// Example: the decoder of a time stamp column dateTimeConnect, adding gmt and local, has the
// fields {"gmt", 19} and {"local", 19}, and for the value 1796619600 Judge gives kConverted and
// AppendText(out, 0, value) writes "2026-12-07 05:00:00".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cdr/format/field_limits.h"

namespace halvrenn::cdr {

// A field read as an integer while it streams by: an optional minus sign and decimal digits,
// with blanks (spaces, tabs) before and after them, as a call manager's own sample records write
// ` 3775` and `4 `; a blank inside the number makes it no integer. Digits beyond what any kind
// takes only keep the number above every limit (it saturates), so that a field of any length is
// read in constant space.
struct IntegerValue {
  // kEnded: digits followed by blanks, after which only blanks may come. The order matters: a
  // digit continues the number in the states up to kDigits.
  enum class Kind : unsigned char { kNone, kSign, kDigits, kEnded, kBad } kind = Kind::kNone;
  bool negative = false;
  std::uint64_t number = 0;  // the magnitude, saturated at kSaturated

  static constexpr std::uint64_t kSaturated = 100'000'000'000'000'000;

  void Add(char c) {
    const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
    if (digit < 10 && kind <= Kind::kDigits) {
      kind = Kind::kDigits;
      if (number < kSaturated) number = number * 10 + digit;
    } else if (c == '-' && kind == Kind::kNone) {
      kind = Kind::kSign;
      negative = true;
    } else if (c == ' ' || c == '\t') {
      if (kind == Kind::kDigits) kind = Kind::kEnded;
      if (kind == Kind::kSign) kind = Kind::kBad;
    } else {
      kind = Kind::kBad;
    }
  }
  // Add for each byte of a piece: its leading digits in a tight loop, the rest byte by byte.
  void AddAll(const char* from, const char* to) {
    if (kind <= Kind::kDigits) {
      std::uint64_t digits = number;
      const char* c = from;
      for (; c < to && digits < kSaturated; ++c) {
        const unsigned digit = static_cast<unsigned char>(*c) - unsigned{'0'};
        if (digit >= 10) break;
        digits = digits * 10 + digit;
      }
      if (c != from) {
        number = digits;
        kind = Kind::kDigits;
        from = c;
      }
    }
    for (; from < to; ++from) Add(*from);
  }
  // Nothing but blanks, or only zeros: no value.
  bool Empty() const { return kind == Kind::kNone || (Integer() && number == 0 && !negative); }
  bool Integer() const { return kind == Kind::kDigits || kind == Kind::kEnded; }

  // The 32 bits of an integer written signed (-2147483648 to -1: 2^32 less the magnitude) or
  // unsigned (0 to 4294967295); none for anything else.
  std::optional<std::uint32_t> Bits32() const {
    if (!Integer() || number > (negative ? (kLargestUnsigned32 + 1) / 2 : kLargestUnsigned32)) {
      return std::nullopt;
    }
    return static_cast<std::uint32_t>(negative ? (kLargestUnsigned32 + 1 - number) : number);
  }
};

// kUnknown: a well-formed value that the kind's table does not hold (a cause number that the
// call manager does not name); it gets empty fields and is counted apart from the rejected.
enum class Verdict : unsigned char { kConverted, kEmpty, kRejected, kUnknown };

// One field added after each record: the suffix of its name ("<column>_<suffix>") and the
// longest text it may hold, for the type row's VARCHAR(n).
struct AddedField {
  std::string_view suffix;
  std::size_t longest = 0;
};

// Whether a text needs quotes to stand as one field of a record.
inline bool NeedsQuotes(std::string_view text, char delimiter) {
  for (const char c : text) {
    if (c == delimiter || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

// A text as a quoted field: in quotes, with each quote doubled.
inline void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

class ColumnDecoder {
 public:
  virtual ~ColumnDecoder() = default;

  // The fields it adds, when they are its own rather than its kind's (those of a time stamp are
  // the time texts chosen); none when its kind's entry lists them.
  virtual std::span<const AddedField> Fields() const { return {}; }

  // kConverted for a value that gets texts; the others get empty fields. A value with no byte
  // (Kind::kNone) must be kEmpty: the converter gives it that without asking.
  virtual Verdict Judge(const IntegerValue& value) const = 0;
  // Appends the text of one added field for a value judged kConverted.
  virtual void AppendText(std::string& out, std::size_t field, const IntegerValue& value) = 0;

  // A decoder that reads its field as text rather than as an integer gets the field's content in
  // pieces instead and its end, is judged with an empty IntegerValue, and is cleared after each
  // record.
  virtual bool ReadsText() const { return false; }
  virtual void Read(std::string_view /*piece*/) {}
  virtual void EndText() {}
  virtual void Clear() {}
};

}  // namespace halvrenn::cdr
