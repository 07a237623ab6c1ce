#include "time/checked_int32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace halvrenn {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct BinaryCase {
  std::int32_t a, b;
  std::optional<std::int32_t> result;  // empty: OverflowError
};

template <typename Operation>
void ExpectCases(Operation operation, std::initializer_list<BinaryCase> cases) {
  for (const BinaryCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << ", " << c.b);
    if (c.result) {
      EXPECT_EQ(operation(c.a, c.b), *c.result);
    } else {
      EXPECT_THROW(operation(c.a, c.b), OverflowError);
    }
  }
}

TEST(CheckedMul32, ExactInsideAndOverflowAtTheEdges) {
  ExpectCases(CheckedMul32, {
                                {kMax, 1, kMax},
                                {kMin, 1, kMin},
                                {kMin, -1, std::nullopt},
                                {65536, 32768, std::nullopt},  // 2^31
                                {-65536, 32768, kMin},
                                {35791394, 60, 2147483640},
                                {35791395, 60, std::nullopt},
                                {-35791394, 60, -2147483640},
                                {-35791395, 60, std::nullopt},
                                {-720, 60, -43200},
                                {0, kMin, 0},
                            });
}

TEST(CheckedSub32, ExactInsideAndOverflowAtTheEdges) {
  ExpectCases(CheckedSub32, {
                                {kMax, 0, kMax},
                                {kMax, -1, std::nullopt},
                                {2147480047, -3600, kMax},
                                {2147480048, -3600, std::nullopt},
                                {kMin, 1, std::nullopt},
                                {-1, kMax, kMin},
                                {0, kMin, std::nullopt},
                                {-1, kMin, kMax},
                                {25569, 43200, -17631},
                            });
}

TEST(DoubleToInt32, RoundsHalfToEvenAndOverflowsOutside32Bits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const struct {
    double x;
    std::optional<std::int32_t> result;
  } cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-2.5, -2},
      {-3.5, -4},
      {0.49999999999999994, 0},
      {2.5000000000000004, 3},
      {-1.2, -1},
      {2147483647.0, kMax},
      {2147483647.4, kMax},
      {2147483647.5, std::nullopt},
      {2147487247.0, std::nullopt},
      {-2147483648.0, kMin},
      {-2147483648.5, kMin},  // the tie goes to the even kMin
      {-2147483648.6, std::nullopt},
      {-2147483649.0, std::nullopt},
      {1e300, std::nullopt},
      {nan, std::nullopt},
      {infinity, std::nullopt},
      {-infinity, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hexfloat << c.x);
    if (c.result) {
      EXPECT_EQ(DoubleToInt32(c.x), *c.result);
    } else {
      EXPECT_THROW(DoubleToInt32(c.x), OverflowError);
    }
  }
}

}  // namespace
}  // namespace halvrenn
