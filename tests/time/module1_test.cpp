// Runs once per zone of the test runs (TZ set by CTest, its Bias in HALVRENN_EXPECTED_BIAS).

#include "time/module1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "reference.h"
#include "time/checked_int32.h"
#include "time/locale_and_zone.h"

namespace halvrenn {
namespace {

using testing::ExpectedBiasMinutes;
using testing::ExpectedDateText;

TEST(Zone, BiasIsTheConfiguredZonesStandardOffset) {
  EXPECT_EQ(platform::ZoneBiasMinutes(), ExpectedBiasMinutes());
}

TEST(Zone, GmtTextIgnoresTheZone) {
  const char* const texts[] = {"25569", "86400", "2147483647", "1000000000", " 30000 "};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Module1::EpochToGmtText(text), ExpectedDateText(std::stoll(text)));
  }
}

TEST(Zone, LocalTextIsGreenwichMinusBiasOrOverflows) {
  const std::int64_t offset = std::int64_t{ExpectedBiasMinutes()} * 60;
  const std::int32_t counts[] = {-2147483647 - 1, -2147440000, -1,         0,
                                 25569,           86400,       1000000000, 2147440000,
                                 2147480047,      2147480048,  2147481247, 2147483647};
  for (const std::int32_t count : counts) {
    SCOPED_TRACE(count);
    const std::int64_t local = count - offset;
    if (local >= -2147483648LL && local <= 2147483647LL) {
      EXPECT_EQ(Module1::EpochToLocalText(count), ExpectedDateText(local));
    } else {
      EXPECT_THROW(Module1::EpochToLocalText(count), OverflowError);
    }
  }
}

}  // namespace
}  // namespace halvrenn
