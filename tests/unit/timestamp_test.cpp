#include "plugin/timestamp.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quendrix {
namespace {

struct PackCase {
  std::int32_t year, month, day, hour, minute, second;
  std::uint32_t packed;
};

class PackDosDateTimeTest : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackDosDateTimeTest, PacksWithoutMaskingOrClamping) {
  const PackCase& c = GetParam();
  EXPECT_EQ(PackDosDateTime(c.day, c.month, c.year, c.hour, c.minute, c.second),
            c.packed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PackDosDateTimeTest,
    ::testing::Values(
        PackCase{2024, 3, 15, 13, 45, 59, 0x586F6DBDu},
        // Two seconds share one step of the field.
        PackCase{2024, 3, 15, 13, 45, 58, 0x586F6DBDu},
        PackCase{1980, 1, 1, 0, 0, 0, 0x00210000u},
        // All-zero components: what an unreadable archive gives.
        PackCase{0, 0, 0, 0, 0, 0, 0x88000000u},
        // A year before 1980 wraps into the top bits.
        PackCase{1979, 0, 0, 0, 0, 0, 0xFE000000u},
        // From 2108 the year term wraps to 0.
        PackCase{2108, 0, 0, 0, 0, 0, 0x00000000u},
        PackCase{2107, 12, 31, 23, 59, 59, 0xFF9FBF7Du},
        // An oversized minute spills into the hour field.
        PackCase{1980, 0, 0, 0, 64, 0, 0x00000800u}));

}  // namespace
}  // namespace quendrix
