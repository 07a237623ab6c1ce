#pragma once

// What is added for one kind of column: a column of the header that a kind recognises gets an
// AddedColumn, which judges each of its values and writes the texts of the fields it adds at the
// end of the record. The kinds: time stamps (time_stamp_column.h), IPv4 addresses, cause codes
// and durations (one file each, made by the functions below); a new kind is one new file and
// one line where columns are recognised (columns.cpp).
//
// Example: a time stamp column dateTimeConnect, adding gmt and local, has Count() 2, Suffix(0)
// "gmt", and for the value 1796619600 Judge gives kConverted and AppendText(out, 0, value) writes
// "2026-12-07 05:00:00".

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace halvrenn::cdr {

// A field read as an integer while it streams by: an optional minus sign and decimal digits.
// Digits beyond what any kind takes only keep the number above every limit (it saturates), so
// that a field of any length is read in constant space.
struct IntegerValue {
  enum class Kind : unsigned char { kNone, kSign, kDigits, kBad } kind = Kind::kNone;
  bool negative = false;
  std::uint64_t number = 0;  // the magnitude, saturated at kSaturated

  static constexpr std::uint64_t kSaturated = 100'000'000'000'000'000;

  void Add(char c) {
    const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
    if (digit < 10 && kind != Kind::kBad) {
      kind = Kind::kDigits;
      if (number < kSaturated) number = number * 10 + digit;
    } else if (c == '-' && kind == Kind::kNone) {
      kind = Kind::kSign;
      negative = true;
    } else {
      kind = Kind::kBad;
    }
  }
  // Nothing at all, or only zeros: no value.
  bool Empty() const {
    return kind == Kind::kNone || (kind == Kind::kDigits && number == 0 && !negative);
  }
  bool Integer() const { return kind == Kind::kDigits; }
};

// kUnknown: a well-formed value that the kind's table does not hold (a cause number that Q.850
// does not name); it gets empty fields and is counted apart from the rejected.
enum class Verdict : unsigned char { kConverted, kEmpty, kRejected, kUnknown };

class AddedColumn {
 public:
  virtual ~AddedColumn() = default;

  // The fields it adds after each record, and for each the suffix of its name
  // ("<column>_<suffix>") and the longest text it may hold, for the type row's VARCHAR(n).
  virtual std::size_t Count() const = 0;
  virtual std::string_view Suffix(std::size_t field) const = 0;
  virtual std::size_t LongestText(std::size_t field) const = 0;

  // Whether its texts may hold any character, the delimiter and quotes among them, rather than
  // only digits and the marks + - : . and blank.
  virtual bool FreeText() const { return false; }

  // kConverted for a value that gets texts; the others get empty fields.
  virtual Verdict Judge(const IntegerValue& value) const = 0;
  // Appends the text of one added field for a value judged kConverted.
  virtual void AppendText(std::string& out, std::size_t field, const IntegerValue& value) = 0;
};

// One field `<column>_ip`: a call manager's signed (or unsigned) 32-bit integer whose lowest
// byte is the address's first octet, as a dotted quad; -1139627840 gives 192.168.18.188.
std::unique_ptr<AddedColumn> MakeIpAddressColumn();
// One field `<column>_text`: the cause's name as ITU-T Q.850 gives it; 17 gives "User busy",
// and 0, the side that did not end the call, "No error".
std::unique_ptr<AddedColumn> MakeCauseColumn();
// One field `<column>_hms`: whole seconds as H:MM:SS, with as many hour digits as needed;
// 3725 gives 1:02:05, and 0, a call that never connected, 0:00:00.
std::unique_ptr<AddedColumn> MakeDurationColumn();

}  // namespace halvrenn::cdr
