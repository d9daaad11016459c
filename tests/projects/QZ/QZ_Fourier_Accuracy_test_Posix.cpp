#include "QZ_Fourier_Transform.h"

#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// The forward transform against FFTW in double precision, conjugated (we turn
// the other way) and scaled by 1/N. Every stage can add, per complex value,
// half a unit from the halving, a unit from each of the two floored products
// per part and a unit from the twiddles' 31-bit truncation: under 5 units. The
// stages halve what came before as they add, so the errors add up, not grow.
TEST(FourierAccuracy, ForwardAgreesWithFftwWithinTheWordLengthsBound) {
    std::mt19937 g(11);
    std::uniform_int_distribution<int32_t> sample(-(1 << 30), 1 << 30);
    std::printf("forward transform against FFTW, random frames of +-2^30\n");
    for (int32_t M = 0; M <= QZ_Fourier_Transform::MAX_M; ++M) {
        QZ_Fourier_Transform t;
        QZ_Fourier_Transform::m_s(&t, QZ_value::integer(M));
        const int32_t N = t.points();
        ASSERT_EQ(N, 1 << (M + 1));
        fftw_complex* in = fftw_alloc_complex(size_t(N));
        fftw_complex* out = fftw_alloc_complex(size_t(N));
        fftw_plan plan = fftw_plan_dft_1d(N, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
        const double bound = 5.0 * (M + 1);
        double worst = 0, sum = 0;
        std::vector<int32_t> frame(static_cast<size_t>(N));
        for (int rep = 0; rep < 8; ++rep) {
            for (int32_t n = 0; n < N; ++n) {
                frame[size_t(n)] = sample(g);
                in[n][0] = frame[size_t(n)];
                in[n][1] = 0;
            }
            t.forward(frame.data(), N);
            fftw_execute(plan);
            for (int32_t m = 0; m < N; ++m) {
                const std::complex<double> want(out[m][0] / N, -out[m][1] / N);
                const std::complex<double> got(t.work->data[2 * m], t.work->data[2 * m + 1]);
                const double e = std::abs(got - want);
                worst = std::max(worst, e);
                sum += e * e;
            }
        }
        std::printf("  N = %4d: largest error %6.2f units, rms %5.2f (bound %4.0f)\n", N, worst,
                    std::sqrt(sum / (8.0 * N)), bound);
        EXPECT_LE(worst, bound) << N;
        fftw_destroy_plan(plan);
        fftw_free(in);
        fftw_free(out);
    }
}

} // namespace
