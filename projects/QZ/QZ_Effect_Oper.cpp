#include "QZ_Effect_Oper.h"

#include "QZ_Isa.h"
#include "QZ_Options.h"
#include "QZ_Wide.h"

namespace {

template <int Op> inline int32_t apply(int32_t a, int32_t b) {
    if constexpr (Op == qz::OPER_ADD)
        return qz::add_sat(a, b);
    else if constexpr (Op == qz::OPER_SUB)
        return qz::sub(a, b);
    else if constexpr (Op == qz::OPER_MUL)
        return qz::mul_q24(a, b);
    else
        return qz::div_q24<false>(a, b); // zero counts as positive
}

template <int I>
[[gnu::always_inline]] inline void loop(const int32_t* a, const int32_t* b, int32_t* out,
                                        int32_t n) {
    constexpr int op = I / qz::MODE_COUNT, mode = I % qz::MODE_COUNT;
    for (int32_t j = 0; j < n; ++j)
        out[j] = qz::combine<mode>(out[j], apply<op>(a[j], b[j]));
}

template <int I> struct Oper {
    static void run(const int32_t* a, const int32_t* b, int32_t* out, int32_t n) {
        loop<I>(a, b, out, n);
    }
};
// The same loop in AVX2's wider registers; products and quotients by hand.
template <int I> struct OperWide {
    QZ_AVX2 static void run(const int32_t* a, const int32_t* b, int32_t* out, int32_t n) {
        constexpr int op = I / qz::MODE_COUNT, mode = I % qz::MODE_COUNT;
        const int32_t j = qz::wide::run<op, mode, false>(a, b, 0, out, n);
        loop<I>(a + j, b + j, out + j, n - j);
    }
};

} // namespace

const std::array<QZ_Effect_Oper::Kernel, qz::OPER_KERNELS> QZ_Effect_Oper::kernels =
    qz::kernel_table<QZ_Effect_Oper::Kernel, Oper, qz::OPER_KERNELS>();
const std::array<QZ_Effect_Oper::Kernel, qz::OPER_KERNELS> QZ_Effect_Oper::kernels_avx2 =
    qz::kernel_table<QZ_Effect_Oper::Kernel, OperWide, qz::OPER_KERNELS>();

const std::array<QZ_Effect_Oper::Kernel, qz::OPER_KERNELS>& QZ_Effect_Oper::table() {
    return qz::isa::wide() ? kernels_avx2 : kernels;
}

void QZ_Effect_Oper::process() {
    if (!i1 || !i2 || !o) return;
    int32_t n = span(i1, i2, o);
    int32_t* out = samples(o);
    const int32_t* a = samples(i1);
    const int32_t* b = samples(i2);
    int32_t m = mode, op = oper;
    if (n <= 0 || m < 0 || m >= qz::MODE_COUNT || op < 0 || op >= qz::OPER_COUNT) return;
    table()[size_t(op * qz::MODE_COUNT + m)](a, b, out, n);
}

QZ_value QZ_Effect_Oper::m_i1(QZ_Effect_Oper* e, QZ_value v) {
    return qz::handle_option(e->i1, v);
}

QZ_value QZ_Effect_Oper::m_i2(QZ_Effect_Oper* e, QZ_value v) {
    return qz::handle_option(e->i2, v);
}

QZ_value QZ_Effect_Oper::m_o(QZ_Effect_Oper* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Oper::m_oper(QZ_Effect_Oper* e, QZ_value v) {
    return qz::oper_option(e->oper, v);
}

constinit const QZ_Entry QZ_Effect_Oper::cls[] = {
    qz::creates<QZ_Effect_Oper>(),
    qz::option<&QZ_Effect_Oper::m_i1>("i1"),
    qz::option<&QZ_Effect_Oper::m_i2>("i2"),
    qz::option<&QZ_Effect_Oper::m_o>("o"),
    qz::option<&QZ_Effect_Oper::m_oper>("oper"),
    qz::parent(QZ_Effect::cls),
};
