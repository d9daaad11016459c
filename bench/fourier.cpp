// The fixed-point Fourier transform against FFTW in the same run, and the
// spectral noise gate's block. Time per iteration is per transform, per block.
#include "QZ_BenchSupport.h"
#include "QZ_Fourier_Transform.h"

#include <fftw3.h>

namespace {

using qz::bench::Bench;

int32_t exponent(int32_t N) {
    int32_t M = 0;
    while ((2 << M) < N)
        ++M;
    return M;
}

// One forward transform of N points: N new samples into the history, the
// window "none", bit reversal and the kernel.
void Transform(benchmark::State& state) {
    const int32_t N = int32_t(state.range(0));
    Bench b(N);
    b.block("QZ_Fourier_Transform -i %o -s %i", b.buffer(1), exponent(N));
    b.run(state);
}
BENCHMARK(Transform)->Arg(64)->Arg(512)->Arg(4096);

// One backward transform of N points from a spectrum of 2N values: bit
// reversal and the kernel.
void Backward(benchmark::State& state) {
    const int32_t N = int32_t(state.range(0));
    Bench b(2 * N);
    b.block("QZ_Fourier_Transform -i %o -s %i -d backward", b.buffer(1), exponent(N));
    for (auto _ : state) {
        b.pipe->process();
        benchmark::ClobberMemory();
    }
    Bench::report(state, N);
}
BENCHMARK(Backward)->Arg(64)->Arg(512)->Arg(4096);

// The butterflies alone, in place over N bit-reversed points: integer sums
// and products take the same time whatever the values.
template <bool Forward> void Kernel(benchmark::State& state) {
    const int32_t N = int32_t(state.range(0)), M = exponent(N);
    std::vector<int32_t> x(size_t(2 * N));
    std::mt19937 g(1);
    for (int32_t& v : x)
        v = int32_t(g()) >> 3;
    for (auto _ : state) {
        (Forward ? QZ_Fourier_Transform::forward_kernel
                 : QZ_Fourier_Transform::backward_kernel)(x.data(), M);
        benchmark::ClobberMemory();
    }
    Bench::report(state, N);
}
BENCHMARK(Kernel<true>)->Name("KernelForward")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Kernel<false>)->Name("KernelBackward")->Arg(64)->Arg(512)->Arg(4096);

// FFTW's double-precision forward transform of the same size: complex input
// (the same work as ours), forward and backward, and real input (what a real
// signal needs).
template <bool Real, int Sign = FFTW_FORWARD> void Fftw(benchmark::State& state) {
    const int N = int(state.range(0));
    double* re = fftw_alloc_real(size_t(N));
    fftw_complex* in = fftw_alloc_complex(size_t(N));
    fftw_complex* out = fftw_alloc_complex(size_t(N));
    fftw_plan p = Real ? fftw_plan_dft_r2c_1d(N, re, out, FFTW_MEASURE)
                       : fftw_plan_dft_1d(N, in, out, Sign, FFTW_MEASURE);
    std::mt19937 g(1);
    for (int n = 0; n < N; ++n) {
        re[n] = in[n][0] = double(int32_t(g()) >> 3);
        in[n][1] = 0;
    }
    for (auto _ : state) {
        fftw_execute(p);
        benchmark::ClobberMemory();
    }
    Bench::report(state, N);
    fftw_destroy_plan(p);
    fftw_free(re);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(Fftw<false>)->Name("FftwComplex")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Fftw<false, FFTW_BACKWARD>)->Name("FftwComplexBackward")->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Fftw<true>)->Name("FftwReal")->Arg(64)->Arg(512)->Arg(4096);

// The gate with a spectrum of L = 1024 (N = 512 bins) and a signal of 512
// samples per block: five transforms, the delay line and two passes of
// products; per sample of the signal.
void Noisegate(benchmark::State& state) {
    Bench b(512);
    QZ_Buffer* x = nullptr;
    QZ_command(qz::bench::text("QZ_Buffer -l 1024"), &x);
    b.objects.push_back(x);
    QZ_Buffer* o2 = nullptr; // the gate deletes its outputs
    QZ_command(qz::bench::text("QZ_Buffer -l 1024"), &o2);
    b.block("QZ_Fourier_Noisegate -i %o -s %o -o2 %o -a 1", x, b.buffer(2), o2);
    b.run(state);
}
BENCHMARK(Noisegate);

} // namespace
