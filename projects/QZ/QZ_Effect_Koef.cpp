#include "QZ_Effect_Koef.h"

#include "QZ_Isa.h"
#include "QZ_Options.h"
#include "QZ_Wide.h"

namespace {

template <int Op> inline int32_t apply(int32_t x, int32_t k) {
    if constexpr (Op == qz::OPER_ADD)
        return qz::add(x, k); // wraps, unlike the two-input sum
    else if constexpr (Op == qz::OPER_SUB)
        return qz::sub(x, k);
    else if constexpr (Op == qz::OPER_MUL)
        return qz::mul_q24(x, k);
    else
        return qz::div_q24<true>(x, k); // zero counts as negative
}

template <int I>
[[gnu::always_inline]] inline void loop(const int32_t* in, int32_t* out, int32_t n, int32_t k) {
    constexpr int op = I / qz::MODE_COUNT, mode = I % qz::MODE_COUNT;
    for (int32_t j = 0; j < n; ++j)
        out[j] = qz::combine<mode>(out[j], apply<op>(in[j], k));
}

template <int I> struct Koef {
    static void run(const int32_t* in, int32_t* out, int32_t n, int32_t k) {
        loop<I>(in, out, n, k);
    }
};
// The same loop in AVX2's wider registers; products and quotients by hand.
template <int I> struct KoefWide {
    QZ_AVX2 static void run(const int32_t* in, int32_t* out, int32_t n, int32_t k) {
        constexpr int op = I / qz::MODE_COUNT, mode = I % qz::MODE_COUNT;
        const int32_t j = qz::wide::run<op, mode, true>(in, nullptr, k, out, n);
        loop<I>(in + j, out + j, n - j, k);
    }
};

} // namespace

const std::array<QZ_Effect_Koef::Kernel, qz::OPER_KERNELS> QZ_Effect_Koef::kernels =
    qz::kernel_table<QZ_Effect_Koef::Kernel, Koef, qz::OPER_KERNELS>();
const std::array<QZ_Effect_Koef::Kernel, qz::OPER_KERNELS> QZ_Effect_Koef::kernels_avx2 =
    qz::kernel_table<QZ_Effect_Koef::Kernel, KoefWide, qz::OPER_KERNELS>();

const std::array<QZ_Effect_Koef::Kernel, qz::OPER_KERNELS>& QZ_Effect_Koef::table() {
    return qz::isa::wide() ? kernels_avx2 : kernels;
}

int32_t QZ_Effect_Koef::factor(double k) {
    // Truncates as the exact value would: k * 2^31 is exact, and the quotient
    // by 127, a fraction with denominator 127 * 2^s, lies farther from any
    // integer it is not than rounding moves it. From |k| = 127 on it does not
    // fit and saturates; NaN gives 0.
    return qz::trunc32(k * 2147483648.0 / 127.0);
}

void QZ_Effect_Koef::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    int32_t m = mode, op = oper, k = K;
    if (n <= 0 || m < 0 || m >= qz::MODE_COUNT || op < 0 || op >= qz::OPER_COUNT) return;
    table()[size_t(op * qz::MODE_COUNT + m)](in, out, n, k);
}

QZ_value QZ_Effect_Koef::m_i(QZ_Effect_Koef* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Koef::m_o(QZ_Effect_Koef* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Koef::m_oper(QZ_Effect_Koef* e, QZ_value v) {
    return qz::oper_option(e->oper, v);
}

QZ_value QZ_Effect_Koef::m_k(QZ_Effect_Koef* e, QZ_value v) {
    // a number only: a text's pointer is no factor
    if (v.type == QZ_value::FLOAT)
        e->K = factor(double(v.asFloat()));
    else if (v.type == QZ_value::INT || v.type == QZ_value::HANDLE)
        e->K = factor(double(v.asInt()));
    return QZ_value::integer(e->K);
}

constinit const QZ_Entry QZ_Effect_Koef::cls[] = {
    qz::creates<QZ_Effect_Koef>(),         qz::option<&QZ_Effect_Koef::m_i>("i"),
    qz::option<&QZ_Effect_Koef::m_o>("o"), qz::option<&QZ_Effect_Koef::m_oper>("oper"),
    qz::option<&QZ_Effect_Koef::m_k>("k"), qz::parent(QZ_Effect::cls),
};
