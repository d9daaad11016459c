#pragma once
// A small soundpipe for block tests: buffers and blocks made by command,
// everything deleted again in reverse order; the references the blocks are
// held to.
#include "QZ_ArithReference.h"
#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qz::test {

class Chain {
public:
    explicit Chain(int32_t bl) {
        EXPECT_EQ(QZ_command(cmd("QZ_Soundpipe -bl %i"), &pipe, bl), QZ_OK);
    }
    ~Chain() {
        for (auto it = objects.rbegin(); it != objects.rend(); ++it)
            QZ_command(cmd("%o -delete"), *it);
        QZ_command(cmd("%o -e % -delete"), pipe);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    QZ_Buffer* buffer(int32_t length = -1) {
        QZ_Buffer* b = nullptr;
        EXPECT_EQ(QZ_command(cmd("QZ_Buffer -l %i"), &b, length), QZ_OK);
        objects.push_back(b);
        return b;
    }
    // Creates a block with a command whose first argument receives it.
    template <class T, class... A> T* block(const std::string& command, A... args) {
        T* e = nullptr;
        EXPECT_EQ(QZ_command(cmd(command), &e, args...), QZ_OK) << command;
        if (e) objects.push_back(e);
        return e;
    }
    void set(QZ_Buffer* b, const std::vector<int32_t>& v) {
        for (size_t k = 0; k < v.size() && k < size_t(b->allocated); ++k)
            b->data[k] = v[k];
    }
    std::vector<int32_t> get(QZ_Buffer* b, int32_t n = -1) {
        if (n < 0) n = b->usable();
        return std::vector<int32_t>(b->data, b->data + n);
    }
    void run() { pipe->process(); }

    QZ_Soundpipe* pipe = nullptr;
    std::vector<QZ_Object*> objects;
};

// Random samples over the whole 32-bit range, with the extremes mixed in.
inline std::vector<int32_t> random_samples(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::vector<int32_t> v(n);
    const int32_t edges[] = {INT32_MIN, INT32_MAX, 0, -1, 1, INT32_MIN + 1, 1 << 30, -(1 << 30)};
    for (size_t k = 0; k < n; ++k) {
        uint32_t r = g();
        if (r % 7 == 0)
            v[k] = edges[(r >> 8) % 8];
        else if (r % 7 == 1)
            v[k] = int32_t(r) >> ((r >> 3) % 31); // small values too
        else
            v[k] = int32_t(r);
    }
    return v;
}

// The write modes, written out plainly with 64-bit arithmetic.
inline int32_t reference_mode(int mode, int32_t o, int32_t y) {
    int64_t r = 0;
    switch (mode) {
    case 0:
        r = y;
        break;
    case 1:
        r = int64_t(o) + y;
        break;
    case 2:
        r = int64_t(o) - y;
        break;
    case 3:
        r = -int64_t(y);
        break;
    case 4:
        r = -(int64_t(o) + y);
        break;
    default:
        r = int64_t(y) - o;
        break;
    }
    return int32_t(uint32_t(uint64_t(r)));
}

inline const char* mode_name(int m) {
    static const char* names[] = {"set", "add", "sub", "stn", "adn", "sbn"};
    return names[m];
}

// Whether a block's output holds, sample by sample, what the write mode makes
// of the sample the buffer held before and the block's result y.
inline testing::AssertionResult written(int mode, const std::vector<int32_t>& out,
                                        const std::vector<int32_t>& before,
                                        const std::vector<int32_t>& y) {
    if (out.size() < y.size() || before.size() < y.size())
        return testing::AssertionFailure() << "fewer samples than results";
    for (size_t j = 0; j < y.size(); ++j) {
        const int32_t want = reference_mode(mode, before[j], y[j]);
        if (out[j] != want)
            return testing::AssertionFailure() << "mode " << mode_name(mode) << ", sample " << j
                                               << ": " << out[j] << " where " << want;
    }
    return testing::AssertionSuccess();
}

} // namespace qz::test
