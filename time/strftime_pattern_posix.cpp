#include "time/strftime_pattern_posix.h"

#include <algorithm>
#include <array>

namespace halvrenn {

std::optional<StrftimePattern> StrftimePattern::Compile(std::string_view pattern,
                                                        const AmPmText& am_pm) {
  StrftimePattern compiled;
  compiled.am_ = {Field::kText, 0, am_pm.am.size()};
  compiled.pm_ = {Field::kText, am_pm.am.size(), am_pm.pm.size()};
  compiled.text_ = am_pm.am + am_pm.pm;
  if (!compiled.Read(pattern, am_pm, 0)) return std::nullopt;
  compiled.longest_text_ = 0;
  for (const Piece& piece : compiled.pieces_) {
    switch (piece.field) {
      case Field::kText:
        compiled.longest_text_ += piece.length;
        break;
      case Field::kYear:
        compiled.longest_text_ += 4;
        break;
      case Field::kAmPm:
        compiled.longest_text_ += std::max(am_pm.am.size(), am_pm.pm.size());
        break;
      default:
        compiled.longest_text_ += 2;
        break;
    }
  }
  return compiled;
}

void StrftimePattern::AddText(std::string_view text) {
  if (text.empty()) return;
  if (!pieces_.empty() && pieces_.back().field == Field::kText &&
      pieces_.back().begin + pieces_.back().length == text_.size()) {
    pieces_.back().length += text.size();
  } else {
    pieces_.push_back({Field::kText, text_.size(), text.size()});
  }
  text_ += text;
}

// The composite conversions are strftime's own definitions; %r may use the locale's twelve-hour
// pattern, which is read once more, but a %r inside it is refused rather than followed.
bool StrftimePattern::Read(std::string_view pattern, const AmPmText& am_pm, int depth) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      AddText(pattern.substr(i, 1));
      continue;
    }
    if (++i == pattern.size()) return false;  // a lone % at the end
    bool read = true;
    switch (pattern[i]) {
      case 'Y':
        pieces_.push_back({Field::kYear});
        break;
      case 'm':
        pieces_.push_back({Field::kMonth});
        break;
      case 'd':
        pieces_.push_back({Field::kDay});
        break;
      case 'e':
        pieces_.push_back({Field::kDaySpacePadded});
        break;
      case 'H':
        pieces_.push_back({Field::kHour24});
        break;
      case 'I':
        pieces_.push_back({Field::kHour12});
        break;
      case 'M':
        pieces_.push_back({Field::kMinute});
        break;
      case 'S':
        pieces_.push_back({Field::kSecond});
        break;
      case 'p':
        pieces_.push_back({Field::kAmPm});
        break;
      case 'T':
        read = Read("%H:%M:%S", am_pm, depth + 1);
        break;
      case 'R':
        read = Read("%H:%M", am_pm, depth + 1);
        break;
      case 'F':
        read = Read("%Y-%m-%d", am_pm, depth + 1);
        break;
      case 'r':
        read = depth == 0 &&
               Read(am_pm.twelve_hour_pattern.empty() ? "%I:%M:%S %p" : am_pm.twelve_hour_pattern,
                    am_pm, depth + 1);
        break;
      case 'n':
        AddText("\n");
        break;
      case 't':
        AddText("\t");
        break;
      case '%':
        AddText("%");
        break;
      default:
        return false;  // names, flags, widths, E and O modifiers: strftime's work
    }
    if (!read) return false;
  }
  return true;
}

bool StrftimePattern::AppendTo(std::string& text, const CivilDateTime& when) const {
  if (when.year < 1000 || when.year > 9999) return false;
  // Written through a pointer, on the stack when it fits: appending character by character, or
  // growing the string first, costs more than all the arithmetic.
  std::array<char, 128> buffer;  // NOLINT(cppcoreguidelines-pro-type-member-init): written below
  if (longest_text_ <= buffer.size()) {
    const char* end = Write(buffer.data(), when);
    text.append(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    return true;
  }
  const std::size_t start = text.size();
  text.resize(start + longest_text_);
  const char* end = Write(text.data() + start, when);
  text.resize(static_cast<std::size_t>(end - text.data()));
  return true;
}

char* StrftimePattern::Write(char* out, const CivilDateTime& when) const {
  const auto two_digits = [&out](int value, char pad) {  // value in [0, 99]
    *out++ = value < 10 ? pad : static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
  };
  const auto copy = [&out, this](const Piece& piece) {
    out = std::copy_n(text_.data() + piece.begin, piece.length, out);
  };
  for (const Piece& piece : pieces_) {
    switch (piece.field) {
      case Field::kText:
        copy(piece);
        break;
      case Field::kYear:
        two_digits(when.year / 100, '0');
        two_digits(when.year % 100, '0');
        break;
      case Field::kMonth:
        two_digits(when.month, '0');
        break;
      case Field::kDay:
        two_digits(when.day, '0');
        break;
      case Field::kDaySpacePadded:
        two_digits(when.day, ' ');
        break;
      case Field::kHour24:
        two_digits(when.hour, '0');
        break;
      case Field::kHour12:
        two_digits(when.hour % 12 == 0 ? 12 : when.hour % 12, '0');
        break;
      case Field::kMinute:
        two_digits(when.minute, '0');
        break;
      case Field::kSecond:
        two_digits(when.second, '0');
        break;
      case Field::kAmPm:
        copy(when.hour < 12 ? am_ : pm_);
        break;
    }
  }
  return out;
}

}  // namespace halvrenn
