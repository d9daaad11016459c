#include "Cli.h"

#include "Error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rampart {

namespace {

struct Scanned {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options; // in command-line order
    bool help = false;
};

// Every option takes a value, as "--name VALUE" or "--name=VALUE". A value
// may begin with "-" (negative decibels). "--" ends the options.
Scanned scan(const std::vector<std::string>& args, const char* command,
             std::initializer_list<const char*> known) {
    Scanned s;
    bool options_done = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_done || a.size() < 2 || a[0] != '-') {
            s.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            options_done = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            s.help = true;
            continue;
        }
        std::string name = a, value;
        size_t eq = a.find('=');
        bool inline_value = eq != std::string::npos;
        if (inline_value) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        if (std::find_if(known.begin(), known.end(), [&](const char* k) { return name == k; }) ==
            known.end())
            throw UsageError(std::string("unknown option ") + name + " for " + command);
        if (!inline_value) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            value = args[++i];
        }
        s.options.emplace_back(name, value);
    }
    return s;
}

void want_positional(const Scanned& s, const char* command, size_t min, size_t max,
                     const char* names) {
    if (s.positional.size() < min) throw UsageError(std::string(command) + " needs " + names);
    if (s.positional.size() > max)
        throw UsageError(std::string(command) + " takes " + names + "; unexpected '" +
                         s.positional[max] + "'");
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A whole number in [min, max], or UsageError.
int64_t parse_integer(const std::string& text, const std::string& what, int64_t min, int64_t max) {
    int64_t v = 0;
    const char* b = text.data();
    const char* e = b + text.size();
    auto r = std::from_chars(b, e, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != e || v < min || v > max)
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + " (got '" + text + "')");
    return v;
}

// The shortest text that reads back as v: a value just outside a range shows
// as given (-45.0000001), not rounded into it.
std::string number_text(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

double parse_number(const std::string& text, const std::string& what) {
    const char* b = text.c_str();
    char* end = nullptr;
    double v = std::strtod(b, &end);
    if (text.empty() || end != b + text.size() || !std::isfinite(v) ||
        std::isspace(static_cast<unsigned char>(text[0])))
        throw UsageError(what + " must be a number (got '" + text + "')");
    return v;
}

const char* const kPluginOptionsHelp =
    "  --sustain DB      Sustain, 0 to -45 dB\n"
    "  --tone HZ         Tone (hosts call it Freq), 50 to 400 Hz\n"
    "  --level DB        Level, -45 to -3 dB\n"
    "  --state on|off    State (the panel's button): on processes, off passes the\n"
    "                    input through\n"
    "  --block N         host block in frames, 1 to 1048576 (default 512; the last\n"
    "                    block is shorter)\n";

void check_channel(int channel, int channels, const std::string& file) {
    if (channel > channels)
        throw UsageError("--channel " + std::to_string(channel) + ": " + file + " has " +
                         (channels == 1 ? "one channel" : std::to_string(channels) + " channels"));
}

float normalised(const ParamRange& range, double v) {
    double lo = std::min(range.at0, range.at1), hi = std::max(range.at0, range.at1);
    if (v < lo || v > hi)
        throw UsageError(std::string(range.option) + " must be from " + number_text(lo) + " to " +
                         number_text(hi) + " " + range.unit + " (got " + number_text(v) + ")");
    return static_cast<float>((v - range.at0) / (range.at1 - range.at0));
}

InfoOptions parse_info(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "info", {"--plugin"});
    help = s.help;
    InfoOptions o;
    if (help) return o;
    want_positional(s, "info", 0, 1, "at most one PLUGIN");
    if (!s.positional.empty()) o.plugin = s.positional[0];
    for (const auto& [name, value] : s.options) {
        if (!s.positional.empty()) throw UsageError("info: give PLUGIN or --plugin, not both");
        o.plugin = value;
    }
    return o;
}

namespace {

// The options render and shot share: the parameters, the block and the
// input channel.
struct PluginOptions {
    std::optional<float> state, sustain, tone, level;
    RenderSettings settings;
    int channel = 0;

    // False when `name` is none of them.
    bool take(const std::string& name, const std::string& value) {
        if (name == "--sustain") {
            sustain = normalised(kSustain, parse_number(value, name));
        } else if (name == "--tone") {
            tone = normalised(kTone, parse_number(value, name));
        } else if (name == "--level") {
            level = normalised(kLevel, parse_number(value, name));
        } else if (name == "--state") {
            std::string v = lower(value);
            if (v != "on" && v != "off")
                throw UsageError("--state must be on or off (got '" + value + "')");
            state = v == "on" ? 1.0f : 0.0f;
        } else if (name == "--block") {
            settings.block = static_cast<int>(parse_integer(value, name, 1, kMaxBlock));
        } else if (name == "--channel") {
            channel = static_cast<int>(parse_integer(value, name, 1, kMaxChannel));
        } else {
            return false;
        }
        return true;
    }

    // The plug-in's parameter order, whatever the order on the command line.
    RenderSettings finished() const {
        RenderSettings s = settings;
        if (state) s.parameters.emplace_back("State", *state);
        if (sustain) s.parameters.emplace_back(kSustain.name, *sustain);
        if (tone) s.parameters.emplace_back(kTone.name, *tone);
        if (level) s.parameters.emplace_back(kLevel.name, *level);
        return s;
    }
};

} // namespace

RenderOptions parse_render(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "render",
                     {"--plugin", "--sustain", "--tone", "--level", "--state", "--block",
                      "--channel", "--channels"});
    help = s.help;
    RenderOptions o;
    if (help) return o;
    want_positional(s, "render", 2, 2, "IN and OUT");
    o.in = s.positional[0];
    o.out = s.positional[1];
    PluginOptions p;
    for (const auto& [name, value] : s.options) {
        if (p.take(name, value)) continue;
        if (name == "--plugin") {
            o.plugin = value;
        } else if (name == "--channels") {
            std::string v = lower(value);
            if (v == "auto")
                o.channels = ChannelMode::Auto;
            else if (v == "1")
                o.channels = ChannelMode::One;
            else if (v == "2")
                o.channels = ChannelMode::Two;
            else
                throw UsageError("--channels must be auto, 1 or 2 (got '" + value + "')");
        }
    }
    // Names that differ may still lead to one file: render compares the files too.
    if (o.in == o.out && o.in != "-") throw UsageError("render: IN and OUT are the same file");
    o.settings = p.finished();
    o.channel = p.channel;
    return o;
}

ShotOptions parse_shot(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "shot",
                     {"--in", "--sustain", "--tone", "--level", "--state", "--block", "--channel"});
    help = s.help;
    ShotOptions o;
    if (help) return o;
    want_positional(s, "shot", 1, 1, "OUT");
    o.out = s.positional[0];
    PluginOptions p;
    for (const auto& [name, value] : s.options)
        if (!p.take(name, value)) o.in = value; // --in
    if (o.in == o.out && o.in != "-") throw UsageError("shot: --in and OUT are the same file");
    if (p.channel && o.in.empty()) throw UsageError("shot: --channel needs --in");
    o.settings = p.finished();
    o.channel = p.channel;
    return o;
}

SynthOptions parse_synth(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "synth", {"--seconds", "--rate"});
    help = s.help;
    SynthOptions o;
    if (help) return o;
    want_positional(s, "synth", 1, 1, "OUT");
    o.out = s.positional[0];
    std::string seconds = "6";
    for (const auto& [name, value] : s.options) {
        if (name == "--seconds") {
            seconds = value;
            o.seconds = parse_number(value, name);
            if (!(o.seconds > 0 && o.seconds <= 3600))
                throw UsageError("--seconds must be more than 0 and at most 3600 (got '" + value +
                                 "')");
        } else {
            o.rate = static_cast<int>(parse_integer(value, name, 8000, 768000));
        }
    }
    if (std::llround(o.seconds * o.rate) < 1)
        throw UsageError("--seconds " + seconds + " is less than one sample at " +
                         std::to_string(o.rate) + " Hz");
    return o;
}

CompareOptions parse_compare(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "compare", {});
    help = s.help;
    CompareOptions o;
    if (help) return o;
    want_positional(s, "compare", 2, 2, "two files, A and B");
    o.a = s.positional[0];
    o.b = s.positional[1];
    if (o.a == "-" && o.b == "-")
        throw UsageError("compare: only one of A and B can be - (standard input)");
    return o;
}

LevelsOptions parse_levels(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "levels", {"--from", "--to"});
    help = s.help;
    LevelsOptions o;
    if (help) return o;
    want_positional(s, "levels", 1, 1, "FILE");
    o.file = s.positional[0];
    for (const auto& [name, value] : s.options) {
        double v = parse_number(value, name);
        if (v < 0) throw UsageError(name + " must not be negative (got '" + value + "')");
        if (name == "--from")
            o.from = v;
        else
            o.to = v;
    }
    if (o.to && *o.to <= o.from) throw UsageError("levels: --to must come after --from");
    return o;
}

EnvelopeOptions parse_envelope(const std::vector<std::string>& args, bool& help) {
    Scanned s = scan(args, "envelope", {"--window"});
    help = s.help;
    EnvelopeOptions o;
    if (help) return o;
    want_positional(s, "envelope", 1, 1, "FILE");
    o.file = s.positional[0];
    for (const auto& [name, value] : s.options) {
        o.window = parse_number(value, name);
        if (!(o.window > 0)) throw UsageError("--window must be positive (got '" + value + "')");
    }
    return o;
}

} // namespace rampart
