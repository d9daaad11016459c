#include "QZ_Math.h"

#include <gtest/gtest.h>

#include <limits>

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

TEST(Math, MagnitudeOfTheMostNegativeSampleIsTwoToThe31) {
    EXPECT_EQ(qz::magnitude(INT32_MIN), 0x80000000u);
    EXPECT_EQ(qz::magnitude(INT32_MIN + 1), 0x7FFFFFFFu);
    EXPECT_EQ(qz::magnitude(-1), 1u);
    EXPECT_EQ(qz::magnitude(0), 0u);
    EXPECT_EQ(qz::magnitude(INT32_MAX), 0x7FFFFFFFu);
}

TEST(Math, MagnitudeTruncationHoldsAtTheTopAndTakesNaN) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(qz::trunc32_magnitude(2147483646.9), 2147483646);
    EXPECT_EQ(qz::trunc32_magnitude(2147483647.5), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(2147483648.0), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(1e300), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(inf), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(-inf), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(std::numeric_limits<double>::quiet_NaN()), INT32_MAX);
    EXPECT_EQ(qz::trunc32_magnitude(-3.7), 3);
    EXPECT_EQ(qz::trunc32_magnitude(0.99), 0);
}

} // namespace
