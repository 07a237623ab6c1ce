#pragma once

// The rounding of a written number to an integer, as the fuzz targets expect it, worked out apart
// from the core's own reader.

#include <clocale>
#include <cmath>
#include <string_view>

namespace halvrenn::fuzz {

// The written number `text` rounded to an integer, half to even, given its nearest double `value`
// (as strtod reads it in the current locale). Only a double exactly halfway between integers can
// round otherwise than the number: then the number's fraction digits, compared with "5", tell on
// which side of the half it lies ("2.50000000000000001" is 2.5 as a double, but rounds to 3).
inline double RoundWrittenNumber(std::string_view text, double value) {
  const double below = std::floor(value);
  if (value - below != 0.5) return std::nearbyint(value);
  const std::string_view separator = std::localeconv()->decimal_point;
  std::string_view fraction = text.substr(text.rfind(separator) + separator.size());
  fraction = fraction.substr(0, fraction.find_first_not_of("0123456789"));
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (fraction == "5") return std::nearbyint(value);
  const bool magnitude_above_half = fraction > std::string_view("5");
  return magnitude_above_half == (value > 0) ? below + 1 : below;
}

}  // namespace halvrenn::fuzz
