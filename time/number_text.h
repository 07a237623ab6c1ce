#pragma once

// Numbers as a user pastes them. Accepted, and nothing else: optional blanks (space, tab) around,
// one optional leading sign, ASCII digits with an optional decimal separator of the user's locale
// followed by digits, at least one digit in all ("42", " -7 ", "+3,5" under a decimal comma,
// ".5"). Rejected: exponents, digit-group separators, currency marks, hexadecimal, non-ASCII
// digits, and numbers too large for a double. Every accepted text converts without error (but
// for TextToInt32's range), and the three functions agree on its value.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvrenn {

bool IsNumericText(std::string_view text);

// The double nearest to the number. NaN for a text that IsNumericText rejects.
double TextToDouble(std::string_view text);

// The written number rounded to the nearest integer, a half to the even neighbour, once: from its
// digits, not from TextToDouble's already rounded value, so "2.50000000000000001" gives 3 where
// the double 2.5 would give 2. OverflowError outside 32 bits, and for a text IsNumericText
// rejects.
std::int32_t TextToInt32(std::string_view text);

// A count's digits grouped from the right: `groups` are the sizes of the groups, the rightmost
// first; the last size repeats when `repeat_last`, and otherwise the digits left of it stay in one
// group. A size of 0 or less ends the grouping there. Example: 1234567 with "," and {3, 2},
// repeated, is "12,34,567" (India); with {3}, not repeated, "1234,567".
std::string GroupDigits(std::uint64_t count, std::string_view separator,
                        const std::vector<int>& groups, bool repeat_last);

}  // namespace halvrenn
