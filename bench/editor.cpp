// The plug-in's own editor, 200 x 156, composed off-screen: a full paint, as
// an open does, and the editor's side of a meter step (both lines set, the
// meter repainted). Times in microseconds.
#include "QZ_Main_Vst.h"
#include "QZ_Main_Vst_Editor.h"
#include "Win.h"

#include <benchmark/benchmark.h>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Editor {
    AEffect* fx = VSTPluginMain(&host);
    QZ_Main_Vst* vst = static_cast<QZ_Main_Vst*>(fx->object);
    QZ_Main_Vst_Editor* editor = vst->editorObject();
    QZ_Win* win = editor->window();
    Editor() { editor->open(nullptr); }
    ~Editor() {
        editor->close();
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    }
};

void EditorFullPaint(benchmark::State& state) {
    Editor e;
    for (auto _ : state) {
        e.win->invalidate({0, 0, e.win->width, e.win->height});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(EditorFullPaint)->Unit(benchmark::kMicrosecond);

void MeterStepOnTheEditorsSide(benchmark::State& state) {
    Editor e;
    QZ_Application& app = e.vst->app;
    // Envelopes that move every step, as music does, so each step recolours
    // lamps: what the audio side publishes, then the editor's refresh (both
    // levels computed, both lines set, one repaint of the meter).
    const int32_t levels[][2] = {{0x30000000, 0x18000000},
                                 {0x04000000, 0x20000000},
                                 {0x00400000, 0x01000000},
                                 {0x08000000, 0x06000000}};
    size_t i = 0;
    for (auto _ : state) {
        app.envelopeIn.store(levels[i][0]);
        app.envelopeOut.store(levels[i][1]);
        app.meterSteps.fetch_add(1);
        e.win->refresh();
        i = (i + 1) % 4;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(MeterStepOnTheEditorsSide)->Unit(benchmark::kMicrosecond);

} // namespace
