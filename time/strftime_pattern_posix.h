#pragma once

// A strftime pattern read once and rendered many times. The date and time patterns of locales
// use a handful of numeric conversions, and rendering those directly costs a tenth of strftime,
// which re-reads the pattern and the locale at every call. A pattern with anything else (names
// of months or days, flags, widths, alternative eras or digits) is not compiled: the caller
// renders it with strftime itself, so every pattern still renders exactly as strftime would.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "time/civil_date_time.h"

namespace halvrenn {

// What %p and %r need of the locale (nl_langinfo's AM_STR, PM_STR and T_FMT_AMPM).
struct AmPmText {
  std::string am;
  std::string pm;
  std::string twelve_hour_pattern;  // %r; empty means strftime's own "%I:%M:%S %p"
};

class StrftimePattern {
 public:
  // Reads %Y %m %d %e %H %I %M %S %p %T %R %r %F %n %t %% and plain text; nothing when the
  // pattern holds any other conversion, so that strftime must render it.
  static std::optional<StrftimePattern> Compile(std::string_view pattern, const AmPmText& am_pm);

  // Appends the text of `when`. Years 1000 to 9999 only, where %Y is four digits on every
  // strftime; nothing is appended and false returned outside them.
  bool AppendTo(std::string& text, const CivilDateTime& when) const;

 private:
  enum class Field : unsigned char {
    kText,  // literal text from text_[begin, begin + length)
    kYear,
    kMonth,
    kDay,
    kDaySpacePadded,
    kHour24,
    kHour12,
    kMinute,
    kSecond,
    kAmPm,
  };
  struct Piece {
    Field field;
    std::size_t begin = 0;
    std::size_t length = 0;
  };

  bool Read(std::string_view pattern, const AmPmText& am_pm, int depth);
  // Writes the text of `when` from `out` on, at most longest_text_ characters; returns its end.
  char* Write(char* out, const CivilDateTime& when) const;
  void AddText(std::string_view text);

  std::vector<Piece> pieces_;
  std::string text_;              // the literal parts, and AM at am_, PM at pm_
  std::size_t longest_text_ = 0;  // the longest text the pieces can make
  Piece am_{Field::kText}, pm_{Field::kText};
};

}  // namespace halvrenn
