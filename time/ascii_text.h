#pragma once

// Letter case of ASCII letters only, whatever the user's locale: the names this program compares
// without case (column names, names of files it leaves out, Windows zone names) are ASCII, and a
// locale's own case rules would make the same name match on one machine and not on another.

#include <algorithm>
#include <string>
#include <string_view>

namespace halvrenn {

template <typename Character>
constexpr Character AsciiLower(Character c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Character>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower<char>);
  return lowered;
}

// Whether two names are the same but for the case of their ASCII letters
// ("dateTimeOrigination", "DATETIMEORIGINATION").
template <typename Character>
constexpr bool EqualsIgnoringCase(std::basic_string_view<Character> a,
                                  std::basic_string_view<Character> b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](Character x, Character y) { return AsciiLower(x) == AsciiLower(y); });
}
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return EqualsIgnoringCase<char>(a, b);
}
inline bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return EqualsIgnoringCase<wchar_t>(a, b);
}

}  // namespace halvrenn
