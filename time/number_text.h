#pragma once

// Numbers as a user pastes them. Accepted, and nothing else: optional blanks (space, tab) around,
// one optional leading sign, ASCII digits with an optional decimal separator of the user's locale
// followed by digits, at least one digit in all ("42", " -7 ", "+3,5" under a decimal comma,
// ".5"). Rejected: exponents, digit-group separators, currency marks, hexadecimal, non-ASCII
// digits, and numbers too large for a double. Every accepted text converts without error (but
// for TextToInt32's range), and the three functions agree on its value.

#include <cstdint>
#include <string_view>

namespace halvrenn {

bool IsNumericText(std::string_view text);

// The double nearest to the number. NaN for a text that IsNumericText rejects.
double TextToDouble(std::string_view text);

// TextToDouble's value rounded to the nearest integer, a half to the even neighbour, exactly as
// DoubleToInt32 rounds it. OverflowError outside 32 bits, and for a text IsNumericText rejects.
std::int32_t TextToInt32(std::string_view text);

}  // namespace halvrenn
