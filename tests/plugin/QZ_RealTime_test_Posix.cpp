// What a host may call on its audio thread takes no lock and allocates
// nothing (counted on the calling thread, QZ_Counting.h).
#include "QZ_Counting.h"
#include "QZ_PluginHost.h"

#include <gtest/gtest.h>

#ifdef VR_COUNTS_LOCKS

#include <pthread.h>

#include <cstdlib>
#include <vector>

namespace {

using qz::test::Counted;
using qz::test::counted;
using qz::test::Host;

TEST(RealTime, HostCallsOfTheAudioThreadNeitherLockNorAllocate) {
    Host h;
    AEffect* fx = h.fx;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    // The editor open beside it, as in a session.
    ASSERT_TRUE(h.object()->editorObject()->open(nullptr));
    // The counters themselves see what they should.
    Counted probe = counted([] {
        // Through a volatile pointer: a malloc freed unused may be dropped.
        void* volatile p = std::malloc(16);
        std::free(p);
        ::operator delete(::operator new(16)); // a call, not an expression the compiler may drop
        pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
        pthread_mutex_lock(&m);
        pthread_mutex_unlock(&m);
    });
    EXPECT_GE(probe.allocations, 2);
    EXPECT_EQ(probe.locks, 1);

    std::vector<float> in(1300, 0.25f), out0(1300), out1(1300);
    float* inputs[1] = {in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    char text[64];
    void* chunk = nullptr;
    const Counted c = counted([&] {
        for (int n = 0; n < 50; ++n) {
            fx->processReplacing(fx, inputs, outputs, 1300);
            for (int p = 0; p < 4; ++p) {
                fx->setParameter(fx, p, float((n * 7 + p) % 10) / 9.0f);
                volatile float x = fx->getParameter(fx, p);
                (void)x;
                for (int32_t op : {effGetParamDisplay, effGetParamLabel, effGetParamName})
                    fx->dispatcher(fx, op, p, 0, text, 0.0f);
            }
            fx->dispatcher(fx, effGetChunk, 0, 0, &chunk, 0.0f);
            fx->dispatcher(fx, effSetChunk, 0, 4, text, 0.0f);
        }
    });
    EXPECT_EQ(c.locks, 0);
    EXPECT_EQ(c.allocations, 0);
    h.object()->editorObject()->close();
}

} // namespace

#endif
