#include "QZ_Sine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Within two units in the last place of the C library's sine (which may be
// one off itself: Windows' is, near 4 pi) over the angles the shifters use
// and a few turns around them.
TEST(Sine, WithinTwoUlpOfTheLibrarySine) {
    std::mt19937_64 g(5);
    std::uniform_real_distribution<double> angle(-20.0, 20.0);
    for (int k = 0; k < 200000; ++k) {
        double x = k < 100000 ? angle(g) : (k - 100000) * (3.141592653589793 / 100000);
        double want = std::sin(x);
        double ulp = want == 0.0 ? 0x1p-1074 : std::ldexp(1.0, std::ilogb(want) - 52);
        ASSERT_LE(std::fabs(qz::sine(x) - want), 2 * ulp) << x;
    }
}

TEST(Sine, ExactWhereTheWeightsNeedIt) {
    EXPECT_EQ(qz::sine(0.0), 0.0);
    EXPECT_EQ(qz::sine(1.5707963267948966), 1.0); // a head's full weight is exactly 1
    EXPECT_EQ(qz::sine(-1.5707963267948966), -1.0);
    EXPECT_TRUE(std::isnan(qz::sine(NAN)));
    EXPECT_TRUE(std::isnan(qz::sine(INFINITY)));
    EXPECT_EQ(qz::sine(1e300), 0.0); // far outside the range meant: 0, not garbage
}

} // namespace
