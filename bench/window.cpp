// A full paint of a panel laid out like the editor (background, frame, glass
// panel, a button, three knobs), and the repaint of one knob, composed
// off-screen: the platform-free path every paint takes. Times in microseconds.
#include "QZ_BenchSupport.h"
#include "QZ_Interpret.h"
#include "Wid_Knob.h"
#include "Win.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using qz::bench::text;

struct Panel {
    QZ_Win_Surface win{200, 156};
    std::vector<QZ_Object*> widgets;
    QZ_Wid_Knob* knob = nullptr;

    QZ_Object* add(const std::string& command) {
        QZ_Object* o = nullptr;
        QZ_command(text(command), &o);
        QZ_command(text("QZ_Wid %o -win %o"), o, &win);
        widgets.push_back(o);
        return o;
    }
    Panel() {
        add("QZ_Wid_Pic -w 200 -h 156 -l 0 -t 0 -res bgnd");
        // Frame and glass: corners, edges repeated along the sides, the glass middle.
        for (auto [prefix, l, t, r, b] :
             {std::tuple{"a", 0, 0, 200, 156}, std::tuple{"g", 10, 30, 190, 146}}) {
            std::string p = prefix;
            int w = r - l, h = b - t;
            add("QZ_Wid_Pic -l " + std::to_string(l) + " -t " + std::to_string(t) + " -res " + p +
                "lt");
            add("QZ_Wid_Pic -l " + std::to_string(l + 10) + " -t " + std::to_string(t) + " -w " +
                std::to_string(w - 20) + " -h 10 -res " + p + "mt");
            add("QZ_Wid_Pic -l " + std::to_string(r - 10) + " -t " + std::to_string(t) + " -res " +
                p + "rt");
            add("QZ_Wid_Pic -l " + std::to_string(l) + " -t " + std::to_string(t + 10) +
                " -w 10 -h " + std::to_string(h - 20) + " -res " + p + "lm");
            if (p == "g")
                add("QZ_Wid_Pic -l " + std::to_string(l + 6) + " -t " + std::to_string(t + 6) +
                    " -w " + std::to_string(w - 12) + " -h " + std::to_string(h - 12) +
                    " -res gmm");
            add("QZ_Wid_Pic -l " + std::to_string(r - 10) + " -t " + std::to_string(t + 10) +
                " -w 10 -h " + std::to_string(h - 20) + " -res " + p + "rm");
            add("QZ_Wid_Pic -l " + std::to_string(l) + " -t " + std::to_string(b - 10) + " -res " +
                p + "lb");
            add("QZ_Wid_Pic -l " + std::to_string(l + 10) + " -t " + std::to_string(b - 10) +
                " -w " + std::to_string(w - 20) + " -h 10 -res " + p + "mb");
            add("QZ_Wid_Pic -l " + std::to_string(r - 10) + " -t " + std::to_string(b - 10) +
                " -res " + p + "rb");
        }
        add("QZ_Wid_Butt -w 40 -h 24 -l 20 -t 40 -res but -val 1");
        knob =
            static_cast<QZ_Wid_Knob*>(add("QZ_Wid_Knob -res tune -l 84 -t 90 -w 32 -h 32 -val 40"));
        add("QZ_Wid_Knob -res tune -l 30 -t 90 -w 32 -h 32 -val 10");
        add("QZ_Wid_Knob -res tune -l 138 -t 90 -w 32 -h 32 -val 80");
    }
    ~Panel() {
        for (auto it = widgets.rbegin(); it != widgets.rend(); ++it)
            QZ_command(text("%o -delete"), *it);
    }
};

void FullPaint200x156(benchmark::State& state) {
    Panel p;
    for (auto _ : state) {
        p.win.invalidate({0, 0, 200, 156});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FullPaint200x156)->Unit(benchmark::kMicrosecond);

void KnobRepaint(benchmark::State& state) {
    Panel p;
    for (auto _ : state) {
        p.knob->redraw();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(KnobRepaint)->Unit(benchmark::kMicrosecond);

} // namespace
