#pragma once
// The command line: each command's options, checked and turned into settings.
// Parsing only; nothing here touches a file or a plug-in.
#include "Host.h"

#include <optional>
#include <string>
#include <vector>

namespace rampart {

// A sustainer parameter as the user gives it: the host value x in [0, 1]
// maps linearly from `at0` (x = 0) to `at1` (x = 1), the direction of its knob.
struct ParamRange {
    const char* option;
    const char* name; // as effGetParamName gives it
    double at0, at1;
    const char* unit;
};

constexpr ParamRange kSustain{"--sustain", "Sustain", 0.0, -45.0, "dB"};
constexpr ParamRange kTone{"--tone", "Freq", 50.0, 400.0, "Hz"};
constexpr ParamRange kLevel{"--level", "Level", -45.0, -3.0, "dB"};

// The help lines of the parameters and of --block, which render and shot share.
extern const char* const kPluginOptionsHelp;

// The normalised value for v; throws UsageError when v is outside the range.
float normalised(const ParamRange& range, double v);

constexpr int kMaxBlock = 1048576;
// More channels than any audio file this build reads.
constexpr int kMaxChannel = 65535;

struct InfoOptions {
    std::string plugin; // empty: the default plug-in
};

struct RenderOptions {
    std::string in, out, plugin;
    RenderSettings settings;
    ChannelMode channels = ChannelMode::Auto;
    // --channel N: 1 to kMaxChannel; 0 renders every channel.
    int channel = 0;
};

// The editor's picture after the parameters and, when `in` is given, after
// channel `channel` (default the first) of it ran through the plug-in.
struct ShotOptions {
    std::string out, in;
    RenderSettings settings;
    int channel = 0;
};

struct SynthOptions {
    std::string out;
    double seconds = 6.0;
    int rate = 44100;
};

struct CompareOptions {
    std::string a, b;
};

struct LevelsOptions {
    std::string file;
    double from = 0.0;
    std::optional<double> to;
};

struct EnvelopeOptions {
    std::string file;
    double window = 0.05; // seconds
};

// Each throws UsageError with a message naming what is wrong. A "--help" or
// "-h" anywhere sets `help` and skips the checks.
InfoOptions parse_info(const std::vector<std::string>& args, bool& help);
RenderOptions parse_render(const std::vector<std::string>& args, bool& help);
SynthOptions parse_synth(const std::vector<std::string>& args, bool& help);
CompareOptions parse_compare(const std::vector<std::string>& args, bool& help);
LevelsOptions parse_levels(const std::vector<std::string>& args, bool& help);
EnvelopeOptions parse_envelope(const std::vector<std::string>& args, bool& help);
ShotOptions parse_shot(const std::vector<std::string>& args, bool& help);

// UsageError unless --channel `channel` (0: not given) is one of the
// `channels` channels of `file`.
void check_channel(int channel, int channels, const std::string& file);

// A finite decimal number, or UsageError naming `what`.
double parse_number(const std::string& text, const std::string& what);

} // namespace rampart
