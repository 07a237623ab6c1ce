#pragma once

#include <cmath>

namespace halvrenn {

// Nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4). Written out rather
// than left to std::nearbyint so that the result never depends on the floating-point environment.
// x - floor(x) is exact for every finite double; NaN and infinities pass through.
inline double RoundHalfToEven(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;
  if (fraction < 0.5) return below;
  if (fraction > 0.5) return below + 1.0;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

}  // namespace halvrenn
