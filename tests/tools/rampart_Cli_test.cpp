#include "Cli.h"
#include "Error.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

namespace rampart {
namespace {

using Args = std::vector<std::string>;
using test::contains;

// The message of the UsageError that f throws.
template <class F> std::string usage_error(F&& f) {
    try {
        f();
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

RenderOptions render_of(const Args& a) {
    bool help = false;
    RenderOptions o = parse_render(a, help);
    EXPECT_FALSE(help);
    return o;
}

TEST(ParameterMapping, FollowsEachKnobsDirection) {
    EXPECT_EQ(normalised(kSustain, 0.0), 0.0f);
    EXPECT_EQ(normalised(kSustain, -45.0), 1.0f);
    EXPECT_EQ(normalised(kSustain, -24.0), static_cast<float>(24.0 / 45.0));
    EXPECT_EQ(normalised(kTone, 50.0), 0.0f);
    EXPECT_EQ(normalised(kTone, 225.0), 0.5f);
    EXPECT_EQ(normalised(kTone, 400.0), 1.0f);
    EXPECT_EQ(normalised(kLevel, -45.0), 0.0f);
    EXPECT_EQ(normalised(kLevel, -24.0), 0.5f);
    EXPECT_EQ(normalised(kLevel, -3.0), 1.0f);
}

TEST(ParameterMapping, RefusesValuesOutsideTheRanges) {
    EXPECT_EQ(usage_error([] { normalised(kSustain, 0.5); }),
              "--sustain must be from -45 to 0 dB (got 0.5)");
    EXPECT_EQ(usage_error([] { normalised(kSustain, -45.01); }),
              "--sustain must be from -45 to 0 dB (got -45.01)");
    EXPECT_EQ(usage_error([] { normalised(kTone, 49.9); }),
              "--tone must be from 50 to 400 Hz (got 49.9)");
    EXPECT_EQ(usage_error([] { normalised(kTone, 401); }),
              "--tone must be from 50 to 400 Hz (got 401)");
    EXPECT_EQ(usage_error([] { normalised(kLevel, -2.9); }),
              "--level must be from -45 to -3 dB (got -2.9)");
    EXPECT_EQ(usage_error([] { normalised(kLevel, -46); }),
              "--level must be from -45 to -3 dB (got -46)");
}

TEST(RenderCommandLine, TakesOptionsInBothFormsAndSetsParametersInPluginOrder) {
    RenderOptions o =
        render_of({"--level=-6", "in.wav", "--sustain", "-24", "out.flac", "--tone", "225",
                   "--state", "OFF", "--block", "100", "--plugin", "p.so", "--channels", "2"});
    EXPECT_EQ(o.in, "in.wav");
    EXPECT_EQ(o.out, "out.flac");
    EXPECT_EQ(o.plugin, "p.so");
    EXPECT_EQ(o.settings.block, 100);
    EXPECT_EQ(o.channels, ChannelMode::Two);
    using P = std::pair<std::string, float>;
    EXPECT_EQ(o.settings.parameters, (std::vector<P>{{"State", 0.0f},
                                                     {"Sustain", static_cast<float>(24.0 / 45.0)},
                                                     {"Freq", 0.5f},
                                                     {"Level", static_cast<float>(39.0 / 42.0)}}));
}

TEST(RenderCommandLine, DefaultsToBlocksOf512AndNoParameters) {
    RenderOptions o = render_of({"a.wav", "b.wav"});
    EXPECT_EQ(o.settings.block, 512);
    EXPECT_TRUE(o.settings.parameters.empty());
    EXPECT_TRUE(o.plugin.empty());
    EXPECT_EQ(o.channels, ChannelMode::Auto);
    EXPECT_EQ(render_of({"a.wav", "b.wav", "--state", "on"}).settings.parameters.at(0).second,
              1.0f);
}

TEST(RenderCommandLine, TakesBlocksFromOneTo1048576) {
    EXPECT_EQ(render_of({"a", "b", "--block", "1"}).settings.block, 1);
    EXPECT_EQ(render_of({"a", "b", "--block", "1048576"}).settings.block, 1048576);
    for (const char* bad : {"0", "1048577", "-1", "12x", "", "1.5", "99999999999999999999"}) {
        std::string m = usage_error([&] { render_of({"a", "b", "--block", bad}); });
        EXPECT_EQ(m, std::string("--block must be a whole number from 1 to 1048576 (got '") + bad +
                         "')");
    }
}

TEST(RenderCommandLine, NamesWhatIsWrong) {
    auto err = [](const Args& a) { return usage_error([&] { render_of(a); }); };
    EXPECT_EQ(err({"a", "b", "--bogus", "1"}), "unknown option --bogus for render");
    EXPECT_EQ(err({"a", "b", "-x"}), "unknown option -x for render");
    EXPECT_EQ(err({"a", "b", "--level"}), "--level needs a value");
    EXPECT_EQ(err({"a"}), "render needs IN and OUT");
    EXPECT_EQ(err({"a", "b", "c"}), "render takes IN and OUT; unexpected 'c'");
    EXPECT_EQ(err({"a", "a"}), "render: IN and OUT are the same file");
    EXPECT_EQ(err({"a", "b", "--state", "maybe"}), "--state must be on or off (got 'maybe')");
    EXPECT_EQ(err({"a", "b", "--channels", "3"}), "--channels must be auto, 1 or 2 (got '3')");
    EXPECT_EQ(err({"a", "b", "--sustain", "loud"}), "--sustain must be a number (got 'loud')");
    EXPECT_EQ(err({"a", "b", "--tone", "1000"}), "--tone must be from 50 to 400 Hz (got 1000)");
}

TEST(RenderCommandLine, HelpSkipsTheChecks) {
    bool help = false;
    parse_render({"--help"}, help);
    EXPECT_TRUE(help);
    help = false;
    parse_levels({"-h", "--from", "9"}, help);
    EXPECT_TRUE(help);
}

TEST(RenderCommandLine, DoubleDashEndsTheOptions) {
    RenderOptions o = render_of({"--", "-in.wav", "--out.wav"});
    EXPECT_EQ(o.in, "-in.wav");
    EXPECT_EQ(o.out, "--out.wav");
}

TEST(Numbers, AreFiniteDecimalsAndNothingElse) {
    EXPECT_EQ(parse_number("-24", "x"), -24.0);
    EXPECT_EQ(parse_number("1e2", "x"), 100.0);
    EXPECT_EQ(parse_number(".5", "x"), 0.5);
    for (const char* bad : {"", " 5", "5 ", "nan", "inf", "-inf", "1e999", "--3", "3dB"})
        EXPECT_EQ(usage_error([&] { parse_number(bad, "--x"); }),
                  std::string("--x must be a number (got '") + bad + "')");
}

TEST(OtherCommandLines, CheckTheirArguments) {
    bool help = false;
    SynthOptions s = parse_synth({"x.wav", "--seconds", "2.5", "--rate", "48000"}, help);
    EXPECT_EQ(s.out, "x.wav");
    EXPECT_EQ(s.seconds, 2.5);
    EXPECT_EQ(s.rate, 48000);
    EXPECT_EQ(parse_synth({"x.wav"}, help).seconds, 6.0);
    EXPECT_TRUE(contains(usage_error([&] {
                             parse_synth({"x.wav", "--seconds", "0"}, help);
                         }),
                         "--seconds must be more than 0"));
    EXPECT_TRUE(contains(usage_error([&] {
                             parse_synth({"x.wav", "--rate", "100"}, help);
                         }),
                         "--rate must be a whole number from 8000 to 768000"));
    EXPECT_EQ(usage_error([&] { parse_synth({}, help); }), "synth needs OUT");

    CompareOptions c = parse_compare({"a", "b"}, help);
    EXPECT_EQ(c.a + c.b, "ab");
    EXPECT_EQ(usage_error([&] { parse_compare({"a"}, help); }), "compare needs two files, A and B");
    EXPECT_EQ(usage_error([&] {
                  parse_compare({"a", "b", "--x", "1"}, help);
              }),
              "unknown option --x for compare");

    LevelsOptions l = parse_levels({"f.wav", "--from", "1.5", "--to=3"}, help);
    EXPECT_EQ(l.from, 1.5);
    EXPECT_EQ(*l.to, 3.0);
    EXPECT_FALSE(parse_levels({"f.wav"}, help).to.has_value());
    EXPECT_EQ(usage_error([&] {
                  parse_levels({"f", "--from", "3", "--to", "2"}, help);
              }),
              "levels: --to must come after --from");
    EXPECT_EQ(usage_error([&] {
                  parse_levels({"f", "--from", "-1"}, help);
              }),
              "--from must not be negative (got '-1')");

    EXPECT_EQ(parse_info({"p.so"}, help).plugin, "p.so");
    EXPECT_EQ(parse_info({"--plugin", "q.so"}, help).plugin, "q.so");
    EXPECT_TRUE(parse_info({}, help).plugin.empty());
    EXPECT_EQ(usage_error([&] {
                  parse_info({"a", "b"}, help);
              }),
              "info takes at most one PLUGIN; unexpected 'b'");
}

} // namespace
} // namespace rampart
