#pragma once

// 32-bit arithmetic that never wraps. A result outside [-2147483648, 2147483647] raises
// OverflowError at once; nothing here clamps or substitutes a value. Callers that must go on
// (the window's dispatch) catch it; the conversions themselves never do.

#include <cstdint>
#include <stdexcept>

namespace halvrenn {

class OverflowError : public std::overflow_error {
 public:
  OverflowError() : std::overflow_error("32-bit overflow") {}
};

std::int32_t CheckedMul32(std::int32_t a, std::int32_t b);
std::int32_t CheckedSub32(std::int32_t a, std::int32_t b);

// x rounded to the nearest integer, a half to the even neighbour: 2147483647.4 gives
// 2147483647, while 2147483647.5 rounds to 2147483648 and overflows. NaN overflows too.
std::int32_t DoubleToInt32(double x);

}  // namespace halvrenn
