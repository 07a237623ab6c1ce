#include "number_text.h"

#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "checked_int32.h"
#include "locale_and_zone.h"

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

// The one reader behind all three conversions, so that they cannot disagree.
std::optional<double> ReadNumber(std::string_view text, std::string_view decimal_separator) {
  std::string_view rest = TrimBlanks(text);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  const std::string_view integer_digits = TakeDigits(rest);
  std::string_view fraction_digits;
  if (!rest.empty()) {
    if (decimal_separator.empty() || !rest.starts_with(decimal_separator)) return std::nullopt;
    rest.remove_prefix(decimal_separator.size());
    fraction_digits = TakeDigits(rest);
    if (fraction_digits.empty() || !rest.empty()) return std::nullopt;
  }
  if (integer_digits.empty() && fraction_digits.empty()) return std::nullopt;

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

std::optional<double> ReadNumberInUserLocale(std::string_view text) {
  return ReadNumber(text, platform::DecimalSeparator());
}

}  // namespace

bool IsNumericText(std::string_view text) { return ReadNumberInUserLocale(text).has_value(); }

double TextToDouble(std::string_view text) {
  return ReadNumberInUserLocale(text).value_or(std::numeric_limits<double>::quiet_NaN());
}

std::int32_t TextToInt32(std::string_view text) { return DoubleToInt32(TextToDouble(text)); }

}  // namespace halvrenn
