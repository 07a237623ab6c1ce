#include "time/checked_int32.h"

#include <limits>

#include "time/rounding.h"

namespace halvrenn {
namespace {

// Both operands fit 32 bits, so their exact product or difference fits 64.
std::int32_t NarrowOrThrow(std::int64_t exact) {
  if (exact < std::numeric_limits<std::int32_t>::min() ||
      exact > std::numeric_limits<std::int32_t>::max()) {
    throw OverflowError();
  }
  return static_cast<std::int32_t>(exact);
}

}  // namespace

std::int32_t CheckedMul32(std::int32_t a, std::int32_t b) {
  return NarrowOrThrow(std::int64_t{a} * std::int64_t{b});
}

std::int32_t CheckedSub32(std::int32_t a, std::int32_t b) {
  return NarrowOrThrow(std::int64_t{a} - std::int64_t{b});
}

std::int32_t DoubleToInt32(double x) {
  const double rounded = RoundHalfToEven(x);
  // Both bounds are exact doubles; the negated comparison also catches NaN.
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) throw OverflowError();
  return static_cast<std::int32_t>(rounded);
}

}  // namespace halvrenn
