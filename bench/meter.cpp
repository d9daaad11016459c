// The level meter's step on the audio thread: one line of the editor's meter
// taken from 0 to 1 and back, lamp by lamp, in microseconds.
#include "QZ_Interpret.h"
#include "Wid_Pal.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void LevelUpAndDown(benchmark::State& state) {
    std::string make = "QZ_Wid_Pal -w 61 -h 11 -res i61x11";
    std::string line = "QZ_Wid_Pal %o -ln %o -cg 0 -ch r -bg 0xFF000000 -mn 0 -mx 29 -fg "
                       "0xFFC0E0FF -rl .9 -rg 0xFFFF0000";
    std::string del = "%o -delete";
    QZ_Wid_Pal* pal = nullptr;
    QZ_Wid_Pal_Line l;
    QZ_command(make.data(), &pal);
    QZ_command(line.data(), pal, &l);
    pal->level(0.0f, true); // the one-time preparation, outside the timing
    for (auto _ : state) {
        for (int i = 1; i <= 30; ++i)
            pal->level(float(i) / 30, true);
        for (int i = 29; i >= 0; --i)
            pal->level(float(i) / 30, true);
        benchmark::ClobberMemory();
    }
    QZ_command(del.data(), pal);
}
BENCHMARK(LevelUpAndDown)->Unit(benchmark::kMicrosecond);

} // namespace
