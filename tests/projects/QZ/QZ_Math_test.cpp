#include "QZ_Math.h"

#include <gtest/gtest.h>

namespace {

TEST(Math, DivSatTruncatesTowardZero) {
    EXPECT_EQ(qz::div_sat(7, 2), 3);
    EXPECT_EQ(qz::div_sat(-7, 2), -3);
    EXPECT_EQ(qz::div_sat(7, -2), -3);
    EXPECT_EQ(qz::div_sat(-7, -2), 3);
    EXPECT_EQ(qz::div_sat(int64_t(1) << 40, 1 << 10), 1 << 30);
}

TEST(Math, DivSatNeverTrapsAndSaturates) {
    EXPECT_EQ(qz::div_sat(0, 0), 0);
    EXPECT_EQ(qz::div_sat(12345, 0), 0);
    EXPECT_EQ(qz::div_sat(INT64_MIN, -1), INT32_MAX);
    EXPECT_EQ(qz::div_sat(INT64_MIN, 1), INT32_MIN);
    EXPECT_EQ(qz::div_sat(int64_t(INT32_MIN), -1), INT32_MAX);
    EXPECT_EQ(qz::div_sat(int64_t(INT32_MAX), -1), -INT32_MAX);
    EXPECT_EQ(qz::div_sat(int64_t(INT32_MAX) + 1, 1), INT32_MAX);
    EXPECT_EQ(qz::div_sat(int64_t(INT32_MIN) - 1, 1), INT32_MIN);
    EXPECT_EQ(qz::div_sat(int64_t(INT32_MIN), 1), INT32_MIN); // the bounds themselves are exact
    EXPECT_EQ(qz::div_sat(INT64_MAX, INT32_MIN), INT32_MIN);
}

} // namespace
