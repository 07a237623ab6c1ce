#pragma once

// A POSIX locale's date and time patterns adapted for the window's texts. The locale's own
// patterns are written for "now" in the user's zone; the texts here show any second from 1901 to
// 2038, Greenwich or local, so a few things are changed, as general rules on the conversions and
// never as exceptions for named locales:
// - the year shows once and in full: %y (and %D's year) becomes %Y; a year in the locale's own
//   digits (%Oy, %OC%Oy) becomes %OY, four of those digits; an era's year (%Ey) stays where the
//   locale has eras (th_TH's Buddhist 2552), else it is %Y; a century written before its year
//   (%C%y) is the full year already and becomes %Y;
// - the time always shows seconds: where the locale's pattern stops at the minutes, the seconds
//   follow them with the separator that stands between hours and minutes ("kl. %H.%M" gives
//   "kl. %H.%M.%S"), or after the minutes' mark where hours and minutes carry marks of their own
//   ("%H時%M分" gives "%H時%M分%S");
// - a twelve-hour clock whose morning and evening marks are missing or the same becomes a
//   24-hour clock, so 11:31 and 23:31 never read alike;
// - zone names and offsets (%Z, %z) are dropped with their blanks: the texts carry no zone;
// - no text starts or ends with a blank: blanks at the ends go, and a day or hour padded with a
//   blank loses the padding when it comes first.
// %r, %R, %T and %D are written out first, so the rules see the locale's twelve-hour pattern
// too. Example: en_GB's "%d/%m/%y" gives "%d/%m/%Y", and its T_FMT_AMPM "%l:%M:%S %P %Z" gives
// "%-l:%M:%S %P".
//
// %OY is not the C library's: strftime knows no such conversion, so the renderer writes it with
// the locale's digits and leaves the rest to strftime.

#include <array>
#include <string>
#include <string_view>

#include "time/civil_date_time.h"

namespace halvrenn {

// The locale's texts for dates and times, in UTF-8 (nl_langinfo's, converted from the locale's
// own encoding).
struct LocaleTimeTexts {
  std::string date_pattern;         // D_FMT
  std::string time_pattern;         // T_FMT
  std::string am;                   // AM_STR
  std::string pm;                   // PM_STR
  std::string twelve_hour_pattern;  // T_FMT_AMPM; empty means "%I:%M:%S %p"
  bool has_eras = false;            // ERA is not empty
  bool has_own_digits = false;      // ALT_DIGITS is not empty
};

struct AdaptedPatterns {
  std::string date;  // empty when nothing of the locale's pattern is left
  std::string time;
};

AdaptedPatterns AdaptPatterns(const LocaleTimeTexts& locale);

// The locale's own digits 0 to 9 (the last character of each of ALT_DIGITS' first ten entries,
// which some locales pad to two: "۰۹" is 9), or ASCII digits when it has none.
using LocaleDigits = std::array<std::string, 10>;

}  // namespace halvrenn
