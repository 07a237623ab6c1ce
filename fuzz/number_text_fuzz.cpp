// Any bytes as the text of a number, read in one of three locales: the first byte chooses
// C.UTF-8, en_US.UTF-8 or de_DE.UTF-8 (a decimal comma) by its value modulo 3, so the digits
// '0', '1' and '2' choose them in that order; the rest is the text.
//
// Whatever the text, IsNumericText answers. A text it accepts converts without error: to a finite
// double equal to what the C library's strtod reads from it, and to the 32-bit integer that the
// written number rounds to (half to even), or OverflowError exactly when that integer leaves 32
// bits. The integer is the double's rounding but where the double lies exactly halfway: there
// the written digits beyond it decide.
// A text it rejects reads as NaN and overflows as an integer.

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "time/checked_int32.h"
#include "time/number_text.h"
#include "time/rounding.h"
#include "written_number.h"

namespace {

using halvrenn::fuzz::Fail;

constexpr const char* kLocales[] = {"C.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"};

// Switches the whole program's locale only when the choice changes: setlocale is the costly part.
const char* UseLocale(std::size_t choice) {
  static std::optional<std::size_t> current;
  if (current != choice) {
    if (std::setlocale(LC_ALL, kLocales[choice]) == nullptr) {
      Fail("the locale exists (scripts/setup.sh generates it)", kLocales[choice], "");
    }
    current = choice;
  }
  return kLocales[choice];
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The C library's reading of an accepted text, through its own locale-aware parser: it must take
// every character up to the trailing blanks, and the bytes must be those a plain number has.
std::optional<double> ReadWithStrtod(std::string_view text) {
  const std::string_view separator = std::localeconv()->decimal_point;
  for (const char c : text) {
    if (!IsAsciiDigit(c) && std::string_view(" \t+-").find(c) == std::string_view::npos &&
        separator.find(c) == std::string_view::npos) {
      return std::nullopt;
    }
  }
  const std::string terminated(text);
  char* end = nullptr;
  const double value = std::strtod(terminated.c_str(), &end);
  const std::string_view rest(
      end, static_cast<std::size_t>(terminated.c_str() + terminated.size() - end));
  if (end == terminated.c_str() || rest.find_first_not_of(" \t") != std::string_view::npos) {
    return std::nullopt;
  }
  return value;
}

// The outcome of a conversion to 32 bits: the value, or nothing for OverflowError. Any other
// exception escapes and ends the run.
template <typename Convert>
std::optional<std::int32_t> Int32Outcome(Convert convert) {
  try {
    return convert();
  } catch (const halvrenn::OverflowError&) {
    return std::nullopt;
  }
}

void CheckRejected(std::string_view text, const char* locale) {
  if (!std::isnan(halvrenn::TextToDouble(text))) Fail("a rejected text reads as NaN", locale, text);
  if (Int32Outcome([&] { return halvrenn::TextToInt32(text); })) {
    Fail("a rejected text overflows as an integer", locale, text);
  }
  // A plain run of digits is a number whenever a double can hold it.
  const bool only_digits =
      !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  if (only_digits) {
    const std::optional<double> value = ReadWithStrtod(text);
    if (value && std::isfinite(*value)) Fail("a run of digits is accepted", locale, text);
  }
}

void CheckAccepted(std::string_view text, const char* locale) {
  const double value = halvrenn::TextToDouble(text);
  if (!std::isfinite(value)) Fail("an accepted text reads as a finite double", locale, text);
  const std::optional<double> expected = ReadWithStrtod(text);
  if (!expected) Fail("strtod reads an accepted text to its end", locale, text);
  if (value != *expected) Fail("the double equals strtod's", locale, text);

  // In the default rounding mode nearbyint rounds to nearest with ties to even; the core rounds
  // by hand, so the two are independent.
  if (halvrenn::RoundHalfToEven(value) != std::nearbyint(value)) {
    Fail("half-to-even rounding", locale, text);
  }
  const double rounded = halvrenn::fuzz::RoundWrittenNumber(text, value);
  const bool fits = rounded >= -2147483648.0 && rounded <= 2147483647.0;
  const std::optional<std::int32_t> from_text =
      Int32Outcome([&] { return halvrenn::TextToInt32(text); });
  if (fits != from_text.has_value()) Fail("OverflowError exactly outside 32 bits", locale, text);
  if (from_text && static_cast<double>(*from_text) != rounded) {
    Fail("the integer is the rounded written number", locale, text);
  }
  if (rounded == std::nearbyint(value) &&
      Int32Outcome([&] { return halvrenn::DoubleToInt32(value); }) != from_text) {
    Fail("DoubleToInt32 of the double agrees with TextToInt32", locale, text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool rounds_to_nearest = std::fegetround() == FE_TONEAREST;
  if (!rounds_to_nearest) Fail("the rounding mode is to nearest", "start", "");
  const std::size_t choice = size == 0 ? 0 : data[0] % std::size(kLocales);
  const char* locale = UseLocale(choice);
  const std::string_view text =
      size == 0 ? std::string_view()
                : std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (halvrenn::IsNumericText(text)) {
    CheckAccepted(text, locale);
  } else {
    CheckRejected(text, locale);
  }
  return 0;
}
