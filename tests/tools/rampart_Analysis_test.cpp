#include "Analysis.h"
#include "Error.h"
#include "Synth.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rampart {
namespace {

using test::Audio;

class Files : public testing::Test {
protected:
    void SetUp() override { dir_ = test::scratch_dir(); }
    // Compares two in-memory signals through files.
    Comparison compare(const Audio& a, const Audio& b) {
        test::write_wav(dir_ + "/a.wav", a);
        test::write_wav(dir_ + "/b.wav", b);
        auto ra = open_audio_reader(dir_ + "/a.wav");
        auto rb = open_audio_reader(dir_ + "/b.wav");
        return compare_audio(*ra, *rb);
    }
    std::vector<ChannelLevel> levels(const Audio& a, int64_t from, int64_t to) {
        test::write_wav(dir_ + "/l.wav", a);
        auto r = open_audio_reader(dir_ + "/l.wav");
        return measure_levels(*r, from, to);
    }
    std::string dir_;
};

TEST_F(Files, CompareFindsIdenticalSignalsIdentical) {
    Audio a = test::ramp(10000, 44100, 2);
    Comparison c = compare(a, a);
    EXPECT_TRUE(c.same);
    EXPECT_EQ(c.difference, "");
}

TEST_F(Files, CompareNamesTheFirstDifferingSample) {
    Audio a = test::ramp(10000, 44100, 2), b = a;
    b.samples[2 * 8000 + 1] += 1.0f / 1024;
    b.samples[2 * 9000] = 0.0f;
    Comparison c = compare(a, b);
    EXPECT_FALSE(c.same);
    EXPECT_EQ(c.difference, "first difference at frame 8000 (0.181406 s), channel 2: " +
                                std::string("-0.171875 and -0.170898438"));
}

TEST_F(Files, CompareTellsNegativeZeroFromZero) {
    Audio a = test::ramp(10), b = a;
    a.samples[3] = 0.0f;
    b.samples[3] = -0.0f;
    EXPECT_FALSE(compare(a, b).same);
}

TEST_F(Files, CompareReportsLengthRateAndChannels) {
    Audio a = test::ramp(5000), b = test::ramp(4500);
    EXPECT_EQ(compare(a, b).difference,
              "lengths differ: 5000 and 4500 frames (the first 4500 are identical)");
    EXPECT_EQ(compare(b, a).difference,
              "lengths differ: 4500 and 5000 frames (the first 4500 are identical)");
    EXPECT_EQ(compare(a, test::ramp(5000, 48000)).difference,
              "sample rates differ: 44100 Hz and 48000 Hz");
    EXPECT_EQ(compare(a, test::ramp(5000, 44100, 2)).difference, "channel counts differ: 1 and 2");
}

TEST_F(Files, LevelsOfASquareWaveAndOfARange) {
    Audio a;
    a.rate = 1000;
    a.channels = 2;
    for (int i = 0; i < 2000; ++i) {
        float x = i < 1000 ? 0.5f : 0.125f;
        a.samples.push_back(i % 2 ? x : -x);
        a.samples.push_back(0.0f);
    }
    auto all = levels(a, 0, 2000);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].peak, 0.5);
    EXPECT_DOUBLE_EQ(all[0].rms, std::sqrt((0.25 + 0.015625) / 2));
    EXPECT_EQ(all[1].peak, 0.0);
    EXPECT_EQ(dbfs_text(all[1].rms), "-inf");
    auto tail = levels(a, 1500, 2000);
    EXPECT_EQ(tail[0].peak, 0.125);
    EXPECT_EQ(tail[0].rms, 0.125);
    EXPECT_EQ(dbfs_text(tail[0].peak), "-18.06");
    EXPECT_THROW(levels(a, 1000, 1000), Error);
    EXPECT_THROW(levels(a, 0, 2001), Error);
}

TEST_F(Files, EnvelopeIsTheRmsOfEachWindowOverAllChannelsTheLastOneShorter) {
    Audio a;
    a.rate = 1000;
    a.channels = 2;
    for (int i = 0; i < 250; ++i) {
        float x = i < 100 ? 0.5f : i < 200 ? 0.0f : 0.25f;
        a.samples.push_back(x);
        a.samples.push_back(i < 100 ? 0.0f : x);
    }
    test::write_wav(dir_ + "/e.wav", a);
    auto r = open_audio_reader(dir_ + "/e.wav");
    auto env = measure_envelope(*r, 100);
    ASSERT_EQ(env.size(), 3u);
    EXPECT_DOUBLE_EQ(env[0], std::sqrt(0.125));
    EXPECT_EQ(env[1], 0.0);
    EXPECT_EQ(env[2], 0.25);
}

// NaN and infinity are no silence: levels and envelope say they are there.
TEST_F(Files, SamplesThatAreNotFiniteAreReportedAsSuch) {
    Audio a{1000, 2, {}};
    for (int i = 0; i < 1000; ++i) {
        float x = i % 2 ? 0.5f : -0.5f;
        if (i == 500) x = std::nanf("");
        if (i == 700) x = INFINITY;
        if (i == 701) x = -INFINITY;
        a.samples.push_back(x);
        a.samples.push_back(0.25f);
    }
    const std::string bad = dir_ + "/bad.wav", nan = dir_ + "/nan.wav";
    test::write_wav(bad, a);
    test::write_wav(nan, Audio{1000, 1, std::vector<float>(300, std::nanf(""))});

    auto r = open_audio_reader(bad);
    auto lv = measure_levels(*r, 0, 1000);
    EXPECT_EQ(lv[0].nan, 1);
    EXPECT_EQ(lv[0].infinite, 2);
    EXPECT_EQ(lv[0].first_bad, 500);
    EXPECT_EQ(lv[0].peak, 0.5);
    EXPECT_EQ(lv[0].rms, 0.5);
    EXPECT_EQ(lv[1].nan + lv[1].infinite, 0);
    EXPECT_EQ(lv[1].first_bad, -1);

    test::Ran levels = test::run_rampart({"levels", bad});
    EXPECT_EQ(levels.status, 0) << levels.err;
    EXPECT_TRUE(test::contains(levels.out, "channel 1  peak -6.02 dBFS  RMS -6.02 dBFS of the "
                                           "finite samples; 1 NaN and 2 infinite, the first at "
                                           "0.500 s\nchannel 2  peak -12.04 dBFS  RMS -12.04 "
                                           "dBFS\n"))
        << levels.out;
    test::Ran all_nan = test::run_rampart({"levels", nan});
    EXPECT_TRUE(test::contains(all_nan.out,
                               "no finite samples: 300 NaN and 0 infinite, the first at 0.000 s"))
        << all_nan.out;
    EXPECT_FALSE(test::contains(all_nan.out, "-inf")) << all_nan.out;

    test::Ran env = test::run_rampart({"envelope", bad, "--window", "0.1"});
    EXPECT_EQ(env.status, 0) << env.err;
    EXPECT_TRUE(test::contains(env.out, "0.4500 -8.06\n0.5500 nan\n0.6500 -8.06\n0.7500 inf\n"))
        << env.out;
    EXPECT_TRUE(test::contains(env.err, "rampart: warning: " + bad +
                                            " holds samples that are not finite (NaN or "
                                            "infinity) in 2 windows, the first at 0.5500 s"))
        << env.err;
}

TEST(Decibels, AreTwentyLogTen) {
    EXPECT_EQ(dbfs_text(1.0), "0.00");
    EXPECT_EQ(dbfs_text(0.5), "-6.02");
    EXPECT_EQ(dbfs_text(0.001), "-60.00");
    EXPECT_EQ(dbfs_text(0.0), "-inf");
}

TEST(SeriesFunctions, AgreeWithTheLibrary) {
    for (double x = -20; x <= 20; x += 0.0137) {
        ASSERT_NEAR(series_sin(x), std::sin(x), 1e-13) << x;
        ASSERT_NEAR(series_cos(x), std::cos(x), 1e-13) << x;
    }
    for (double x : {-1e-6, -2.2e-5, -0.3, -1.0, -7.5, 0.0, 0.4, 3.0})
        EXPECT_NEAR(series_exp(x) / std::exp(x), 1.0, 1e-14) << x;
}

TEST(TestSignal, DoesNotDependOnHowItIsCutIntoBlocks) {
    PluckSynth whole(44100), pieces(44100);
    std::vector<float> a(50000), b(50000);
    whole.generate(a.data(), a.size());
    for (size_t i = 0; i < b.size();) {
        size_t n = std::min<size_t>(1 + i % 777, b.size() - i);
        pieces.generate(b.data() + i, n);
        i += n;
    }
    EXPECT_EQ(a, b);
}

TEST(TestSignal, IsLoudNotesThenAQuietTail) {
    const int rate = 44100;
    PluckSynth s(rate);
    std::vector<float> x(6 * rate);
    s.generate(x.data(), x.size());
    EXPECT_EQ(x[0], 0.0f);
    auto peak = [&](double from, double to) {
        float p = 0;
        for (size_t i = static_cast<size_t>(from * rate); i < static_cast<size_t>(to * rate); ++i)
            p = std::max(p, std::fabs(x[i]));
        return 20 * std::log10(p);
    };
    EXPECT_LT(peak(0, 2.5), 0.0);  // never clips
    EXPECT_GT(peak(0, 2.5), -6.0); // the notes are loud
    for (double t : {0.0, 0.35, 0.7, 1.05, 1.4})
        EXPECT_GT(peak(t, t + 0.05), -12.0) << t;
    // The tail falls steadily and stays well below the notes.
    double t3 = peak(3, 3.5), t5 = peak(5, 5.5);
    EXPECT_LT(t3, -30.0);
    EXPECT_GT(t5, -50.0);
    EXPECT_LT(t5, t3 - 4.0);
}

} // namespace
} // namespace rampart
