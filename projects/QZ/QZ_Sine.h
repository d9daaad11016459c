#pragma once
// A sine of our own: additions and multiplications in double only, so that
// every build computes the same bits whatever its C library's sin does.
#include <cstdint>

namespace qz {

namespace sine_detail {

// sin x and cos x for |x| <= pi/4, minimax polynomials within one ulp.
inline double kernel_sin(double x) {
    const double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                 S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                 S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    double z = x * x;
    double v = z * x;
    double r = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
    return x + v * (S1 + z * r);
}

inline double kernel_cos(double x) {
    const double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                 C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                 C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
    double z = x * x;
    double w = z * z;
    double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    double hz = 0.5 * z;
    w = 1.0 - hz;
    // 1 - hz rounded, then what the rounding lost
    return w + (((1.0 - w) - hz) + z * r);
}

} // namespace sine_detail

// sin x (quarter turns q = 0) or cos x (q = 1) for |x| up to about 2^20: the
// cosine by a quarter turn of the reduced angle, not by rounding x + pi/2.
inline double quarter_sine(double x, int32_t q) {
    if (!(x - x == 0.0)) return x - x;
    const double invpio2 = 6.36619772367581382433e-01;
    // pi/2 in three parts, the first two of 33 bits: n times either is exact
    // for the n used here, so angles near a multiple of pi keep their digits
    const double pio2a = 1.57079632673412561417e+00, pio2b = 6.07710050630396597660e-11,
                 pio2c = 2.02226624879595063154e-21;
    double t = x * invpio2;
    double m = t >= 0.0 ? t + 0.5 : t - 0.5;
    if (m > 1048576.0 || m < -1048576.0) return 0.0 * x; // outside the range meant
    int32_t n = int32_t(m);
    double r = ((x - double(n) * pio2a) - double(n) * pio2b) - double(n) * pio2c;
    // clang-format off
    switch ((n + q) & 3) {
    case 0: return sine_detail::kernel_sin(r);
    case 1: return sine_detail::kernel_cos(r);
    case 2: return -sine_detail::kernel_sin(r);
    default: return -sine_detail::kernel_cos(r);
    }
    // clang-format on
}

// sin x for |x| up to about 2^20; meant for angles of a few turns at most.
// NaN and infinities give NaN.
inline double sine(double x) {
    return quarter_sine(x, 0);
}
inline double cosine(double x) {
    return quarter_sine(x, 1);
}

} // namespace qz
