#include "time/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "time/checked_int32.h"
#include "time/locale_and_zone.h"

namespace halvrenn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TakeDigits(std::string_view& text) {
  std::size_t count = 0;
  while (count < text.size() && IsAsciiDigit(text[count])) ++count;
  const std::string_view digits = text.substr(0, count);
  text.remove_prefix(count);
  return digits;
}

// A number as written: its sign and its digits before and after the decimal separator.
struct WrittenNumber {
  bool negative = false;
  std::string_view integer_digits;
  std::string_view fraction_digits;
};

// The one reader behind all three conversions, so that they cannot disagree on what a number is.
std::optional<WrittenNumber> SplitNumber(std::string_view text,
                                         std::string_view decimal_separator) {
  std::string_view rest = TrimBlanks(text);
  WrittenNumber number;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    number.negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  number.integer_digits = TakeDigits(rest);
  if (!rest.empty()) {
    if (decimal_separator.empty() || !rest.starts_with(decimal_separator)) return std::nullopt;
    rest.remove_prefix(decimal_separator.size());
    number.fraction_digits = TakeDigits(rest);
    if (number.fraction_digits.empty() || !rest.empty()) return std::nullopt;
  }
  if (number.integer_digits.empty() && number.fraction_digits.empty()) return std::nullopt;
  return number;
}

std::optional<double> ToDouble(const WrittenNumber& number) {
  const std::string_view integer_digits = number.integer_digits;
  const std::string_view fraction_digits = number.fraction_digits;
  const bool negative = number.negative;
  // Up to 15 digits and no fraction, the value is exact in a double, so it is summed directly:
  // the common case of a typed count skips the general reader.
  if (fraction_digits.empty() && integer_digits.size() <= 15) {
    double whole = 0.0;
    for (const char digit : integer_digits) whole = whole * 10.0 + (digit - '0');
    return negative ? -whole : whole;
  }

  // from_chars in fixed format rounds correctly to the nearest double, whatever the locale.
  std::string plain(integer_digits.empty() ? std::string_view("0") : integer_digits);
  if (!fraction_digits.empty()) {
    plain += '.';
    plain += fraction_digits;
  }
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Too large for a double is not a number here; too small to tell from zero is zero.
    if (integer_digits.find_first_not_of('0') != std::string_view::npos) return std::nullopt;
    value = 0.0;
  } else if (error != std::errc() || end != plain.data() + plain.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<double> ReadNumber(std::string_view text, std::string_view decimal_separator) {
  const std::optional<WrittenNumber> number = SplitNumber(text, decimal_separator);
  return number ? ToDouble(*number) : std::nullopt;
}

// The written value rounded to an integer, a half to the even neighbour, from its digits: the
// nearest double may already have rounded ("2.50000000000000001" is 2.5 as a double, but the
// number lies above the half and rounds to 3). Nothing when it leaves 32 bits.
std::optional<std::int32_t> RoundWrittenNumber(const WrittenNumber& number) {
  std::string_view integer_digits = number.integer_digits;
  while (!integer_digits.empty() && integer_digits.front() == '0') integer_digits.remove_prefix(1);
  if (integer_digits.size() > 10) return std::nullopt;  // surely beyond 32 bits
  std::int64_t magnitude = 0;                           // [0, 9999999999]
  for (const char digit : integer_digits) magnitude = magnitude * 10 + (digit - '0');
  const std::string_view fraction = number.fraction_digits;
  if (!fraction.empty() && fraction.front() >= '5') {
    const bool above_half =
        fraction.front() > '5' || fraction.find_first_not_of('0', 1) != std::string_view::npos;
    if (above_half || magnitude % 2 == 1) ++magnitude;
  }
  const std::int64_t value = number.negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

std::optional<double> ReadNumberInUserLocale(std::string_view text) {
  return ReadNumber(text, platform::DecimalSeparator());
}

}  // namespace

bool IsNumericText(std::string_view text) { return ReadNumberInUserLocale(text).has_value(); }

double TextToDouble(std::string_view text) {
  return ReadNumberInUserLocale(text).value_or(std::numeric_limits<double>::quiet_NaN());
}

std::int32_t TextToInt32(std::string_view text) {
  const std::optional<WrittenNumber> number = SplitNumber(text, platform::DecimalSeparator());
  // Not a number at all. (A number too large for a double, which IsNumericText rejects too, has
  // far more digits than 32 bits hold, and overflows below.)
  if (!number) throw OverflowError();
  const std::optional<std::int32_t> rounded = RoundWrittenNumber(*number);
  if (!rounded) throw OverflowError();
  return *rounded;
}

std::string GroupDigits(std::uint64_t count, std::string_view separator,
                        const std::vector<int>& groups, bool repeat_last) {
  const std::string digits = std::to_string(count);
  // The group sizes from the right, until the digits run out or the grouping ends.
  std::vector<std::size_t> cuts;  // digits right of each separator, the rightmost first
  std::size_t grouped = 0;
  for (std::size_t i = 0; !groups.empty(); ++i) {
    const int size = i < groups.size() ? groups[i] : repeat_last ? groups.back() : 0;
    if (size <= 0) break;
    grouped += static_cast<std::size_t>(size);
    if (grouped >= digits.size()) break;
    cuts.push_back(grouped);
  }
  std::string text;
  text.reserve(digits.size() + cuts.size() * separator.size());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const std::size_t right = digits.size() - i;  // digits from this one to the end
    if (i > 0 && std::find(cuts.begin(), cuts.end(), right) != cuts.end()) text += separator;
    text += digits[i];
  }
  return text;
}

}  // namespace halvrenn
