#include "Commands.h"

#include "Analysis.h"
#include "Cli.h"
#include "Error.h"
#include "Host.h"
#include "Output.h"
#include "Platform.h"
#include "Shot.h"
#include "Synth.h"
#include "TempFile.h"
#include "Wav.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace rampart {

namespace {

const char* const kUsage =
    "Usage: rampart COMMAND [ARGS...]\n"
    "  or:  rampart --help | --version\n"
    "A command-line host for VST 2.x plug-ins.\n"
    "\n"
    "Loads Velvet Rampart (or another VST 2.x plug-in) as a host does and renders\n"
    "audio files through it; writes a test signal, compares and measures audio\n"
    "files, and saves the plug-in's editor as a PNG.\n"
    "\n"
    "Commands:\n"
    "  info [PLUGIN]         print the plug-in's effect record, parameters and texts\n"
    "  render IN OUT [...]   run an audio file through the plug-in\n"
    "  synth OUT [...]       write the test signal: plucked notes, then a quiet tail\n"
    "  compare A B           exit 0 when two audio files hold bit-identical samples\n"
    "  levels FILE [...]     print peak and RMS level in dBFS\n"
    "  envelope FILE [...]   print the RMS level in dBFS of short windows, for plots\n"
    "  shot OUT.png [...]    save the plug-in's editor as a PNG (native build only)\n"
    "\n"
    "\"rampart COMMAND --help\" describes a command; \"rampart --version\" prints the\n"
    "version. A file named - is standard input or output.\n"
    "\n"
    "Exit status:\n"
    "  0   done (compare: the files are bit-identical)\n"
    "  1   failed (compare: the files differ)\n"
    "  2   bad command line (compare: a file cannot be read)\n";

const char* const kInfoHelp =
    "Usage: rampart info [PLUGIN]\n"
    "  or:  rampart info --plugin PATH\n"
    "\n"
    "Loads the plug-in as a host does (entry point, effOpen), prints its effect\n"
    "record, every parameter's name, label, display text and normalised value,\n"
    "and the dispatcher's texts, then closes it (effClose) and unloads it.\n"
    "PLUGIN defaults to the Velvet Rampart plug-in beside rampart.\n";

const char* const kRenderHelp =
    "Usage: rampart render IN OUT [options]\n"
    "\n"
    "Loads the plug-in as a VST 2.x host does and runs IN through it into OUT.\n"
    "The plug-in's first input gets one channel of IN; any further plug-in inputs\n"
    "get silence. IN with several channels runs through one instance of the\n"
    "plug-in per channel, as hosts run a mono effect on a wider track: each\n"
    "instance is made and set up on its own with the same parameters, and\n"
    "channel k of OUT is the first output of the instance given channel k of IN.\n"
    "\n"
    "Options:\n"
    "  --plugin PATH     the plug-in (default: the Velvet Rampart plug-in beside rampart)\n";

const char* const kRenderOptionsHelp =
    "  --channel N       render only channel N of IN (1 is the first), through one\n"
    "                    instance\n"
    "  --channels MODE   the channels of a render through one instance (a mono IN,\n"
    "                    or --channel N): auto (default): one channel while the\n"
    "                    plug-in's first two outputs are bit-identical, two if they\n"
    "                    ever differ; 1: the first output only; 2: the first two\n"
    "                    outputs. A render of several channels writes the first\n"
    "                    output of each instance; --channels 2 is refused there.\n"
    "\n"
    "Parameters not given keep the plug-in's own values. Each one is found by name\n"
    "(effGetParamName) and set through setParameter after effMainsChanged.\n"
    "OUT is written under a new temporary name beside it (OUT.*.part) and renamed\n"
    "when complete; nothing is left of it when the render fails or is interrupted.\n"
    "IN - reads standard input, OUT - writes standard output (WAV; the report then\n"
    "goes to standard error). OUT must not be IN, under any name.\n";

const char* const kSynthHelp =
    "Usage: rampart synth OUT [--seconds S] [--rate R]\n"
    "\n"
    "Writes the test signal, mono: five plucked notes (220 Hz and friends, each\n"
    "decaying exponentially) in the first 2.5 s, then a long quiet decaying tail\n"
    "(about -35 dBFS at 3 s). The same samples on every build.\n"
    "  --seconds S   length, up to 3600 (default 6)\n"
    "  --rate R      sample rate in Hz, 8000 to 768000 (default 44100)\n";

const char* const kCompareHelp =
    "Usage: rampart compare A B\n"
    "\n"
    "Exit status 0 when A and B have the same sample rate, channel count and length\n"
    "and bit-identical samples; otherwise prints the first difference and exits 1.\n"
    "Exit status 2 when a file cannot be read.\n";

const char* const kLevelsHelp =
    "Usage: rampart levels FILE [--from SEC] [--to SEC]\n"
    "\n"
    "Prints the peak and RMS level in dBFS of FILE from --from (default the start)\n"
    "to --to (default the end), per channel. Samples that are NaN or infinite are\n"
    "counted and named, and the levels are those of the others.\n";

const char* const kEnvelopeHelp =
    "Usage: rampart envelope FILE [--window SEC]\n"
    "\n"
    "Prints one line per window of SEC seconds (default 0.05): the time of the\n"
    "window's middle in seconds and the RMS level of all channels in dBFS, with\n"
    "silence as -120, for plotting; a window holding a NaN sample shows nan, one\n"
    "holding an infinite sample inf.\n";

// An output that is the input is refused before anything is written,
// whatever names lead to them (./, .., links).
void refuse_same_file(const AudioReader& in, const std::string& out, const char* message) {
    if (!in.identity()) return;
    auto id = out == "-" ? identity_of(binary_stdout()) : identity_of(out);
    if (id && *id == *in.identity()) throw UsageError(message);
}

// Seconds from frames, for messages.
std::string seconds_text(int64_t frames, int rate) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f s", static_cast<double>(frames) / rate);
    return buf;
}

std::string printable(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return r;
}

// Four characters of a 32-bit code, high byte first, as the interface writes them.
std::string fourcc(uint32_t v, bool high_first) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        int shift = high_first ? 24 - 8 * i : 8 * i;
        unsigned char c = static_cast<unsigned char>(v >> shift);
        s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    return s;
}

std::string flags_text(int32_t flags) {
    static const struct {
        int32_t bit;
        const char* name;
    } names[] = {{effFlagsHasEditor, "has editor"},
                 {effFlagsCanReplacing, "can process replacing"},
                 {effFlagsProgramChunks, "program chunks"},
                 {effFlagsIsSynth, "is synth"},
                 {effFlagsNoSoundInStop, "no sound in stop"},
                 {effFlagsCanDoubleReplacing, "can process double replacing"}};
    std::string s;
    uint32_t rest = static_cast<uint32_t>(flags);
    for (const auto& n : names) {
        if (!(flags & n.bit)) continue;
        s += (s.empty() ? "" : ", ") + std::string(n.name);
        rest &= ~static_cast<uint32_t>(n.bit);
    }
    for (int b = 0; b < 32; ++b)
        if (rest & (1u << b)) s += (s.empty() ? "bit " : ", bit ") + std::to_string(b);
    return s.empty() ? "none" : s;
}

const char* category_text(intptr_t c) {
    static const char* const names[] = {
        "unknown",     "effect",          "synth",       "analysis", "mastering", "spatializer",
        "room effect", "surround effect", "restoration", "offline",  "shell",     "generator"};
    return c >= 0 && c < 12 ? names[c] : "?";
}

int info(const std::vector<std::string>& args, std::FILE* out) {
    bool help = false;
    InfoOptions o = parse_info(args, help);
    if (help) return std::fputs(kInfoHelp, out), 0;
    std::string path = o.plugin.empty() ? default_plugin_path() : o.plugin;
    Plugin plugin(path);
    plugin.open();
    AEffect& fx = plugin.effect();
    auto line = [&](const char* key, const std::string& value) {
        std::fprintf(out, "%-16s %s\n", key, value.c_str());
    };
    char hex[64];
    line("plug-in", path);
    line("entry point", plugin.entry_name());
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(fx.magic));
    line("magic", std::string(hex) + " '" + fourcc(static_cast<uint32_t>(fx.magic), true) + "'");
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(fx.flags));
    line("flags", std::string(hex) + " (" + flags_text(fx.flags) + ")");
    line("inputs", std::to_string(fx.numInputs));
    line("outputs", std::to_string(fx.numOutputs));
    uint32_t id = static_cast<uint32_t>(fx.uniqueID);
    std::snprintf(hex, sizeof hex, "0x%08X", id);
    line("unique ID", std::string(hex) + " '" + fourcc(id, true) + "' (bytes in memory '" +
                          fourcc(id, false) + "')");
    line("version", std::to_string(fx.version));
    line("parameters", std::to_string(fx.numParams));
    line("programs", std::to_string(fx.numPrograms));
    line("effect name", printable(plugin.text(effGetEffectName)));
    line("vendor", printable(plugin.text(effGetVendorString)));
    line("product", printable(plugin.text(effGetProductString)));
    line("vendor version", std::to_string(plugin.dispatch(effGetVendorVersion)));
    line("VST version", std::to_string(plugin.dispatch(effGetVstVersion)));
    intptr_t cat = plugin.dispatch(effGetPlugCategory);
    line("category", std::to_string(cat) + " (" + category_text(cat) + ")");
    line("program", printable(plugin.text(effGetProgramName)));
    std::fprintf(out, "\n%-6s %-10s %-10s %-12s %s\n", "index", "name", "label", "display",
                 "value");
    for (int32_t i = 0; i < fx.numParams; ++i) {
        std::string name = printable(plugin.text(effGetParamName, i));
        std::string label = printable(plugin.text(effGetParamLabel, i));
        std::string display = printable(plugin.text(effGetParamDisplay, i));
        std::fprintf(out, "%-6d %-10s %-10s %-12s %.6f\n", i, name.c_str(), label.c_str(),
                     display.c_str(), static_cast<double>(plugin.get_parameter(i)));
    }
    plugin.close();
    return 0;
}

// A progress bar on standard error, only when it is a terminal.
class Progress {
public:
    Progress(std::FILE* err, int64_t total)
        : err_(err), total_(total), on_(total > 0 && err == stderr && stderr_is_terminal()) {}
    void update(int64_t done) {
        if (!on_) return;
        int percent = static_cast<int>(done * 100 / total_);
        if (percent == last_) return;
        last_ = percent;
        char bar[41];
        int fill = percent * 40 / 100;
        for (int i = 0; i < 40; ++i)
            bar[i] = i < fill ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(err_, "\r[%s] %3d%%", bar, percent);
        std::fflush(err_);
    }
    void finish() {
        if (on_ && last_ >= 0) std::fprintf(err_, "\r%50s\r", "");
    }

private:
    std::FILE* err_;
    int64_t total_;
    bool on_;
    int last_ = -1;
};

int render_command(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool help = false;
    RenderOptions o = parse_render(args, help);
    if (help) {
        std::fprintf(out, "%s%s%s\n%s\n", kRenderHelp, kPluginOptionsHelp, kRenderOptionsHelp,
                     audio_formats_note());
        return 0;
    }
    std::string path = o.plugin.empty() ? default_plugin_path() : o.plugin;
    OutputFormat format = output_format_for(o.out);
    auto reader = open_audio_reader(o.in);
    refuse_same_file(*reader, o.out, "render: IN and OUT are the same file");
    if (auto* wav = dynamic_cast<WavReader*>(reader.get()); wav && wav->truncated())
        std::fprintf(
            err, "rampart: warning: %s is cut short; rendering the %lld whole frames it holds\n",
            reader->name().c_str(), static_cast<long long>(wav->frames()));
    // Standard output carries the audio: the report goes with the messages.
    std::FILE* report = o.out == "-" ? err : out;
    const int channels = reader->channels();
    check_channel(o.channel, channels, o.in);
    const int instances = o.channel ? 1 : channels;
    if (instances > 1 && o.channels == ChannelMode::Two)
        throw UsageError("--channels 2 is for a render of one channel, and " + o.in + " has " +
                         std::to_string(channels) +
                         " channels (render one of them with --channel N)");
    o.settings.channel = o.channel ? o.channel - 1 : 0;
    std::vector<std::unique_ptr<Plugin>> plugins;
    std::vector<Plugin*> each;
    for (int k = 0; k < instances; ++k) {
        plugins.push_back(std::make_unique<Plugin>(path));
        each.push_back(plugins.back().get());
    }
    if (o.channels == ChannelMode::Two && plugins[0]->effect().numOutputs < 2)
        throw Error("--channels 2: " + path + " has only one output");
    FileOutput output(o.out, format, reader->rate(), o.channels, instances);
    Progress progress(err, reader->frames());
    RenderStats stats =
        render(each, *reader, output, o.settings, [&](int64_t done) { progress.update(done); });
    progress.finish();
    for (Plugin* p : each)
        p->close();
    output.finish();
    std::fprintf(
        report, "rendered %lld frames (%s at %d Hz) in %lld blocks of up to %d through %s\n",
        static_cast<long long>(stats.frames), seconds_text(stats.frames, reader->rate()).c_str(),
        reader->rate(), static_cast<long long>(stats.blocks), o.settings.block, path.c_str());
    std::string source;
    if (instances > 1)
        source = ", each through an instance of its own";
    else if (channels > 1)
        source = ", from channel " + std::to_string(o.settings.channel + 1) + " of " +
                 std::to_string(channels);
    std::fprintf(report, "wrote %s (%d channel%s%s)\n", output_name(o.out).c_str(),
                 output.channels(), output.channels() == 1 ? "" : "s", source.c_str());
    if (output.first_difference() >= 0 && output.channels() == 1)
        std::fprintf(err,
                     "rampart: note: the plug-in's outputs differ from frame %lld on; "
                     "only the first was written (--channels 1)\n",
                     static_cast<long long>(output.first_difference()));
    else if (output.first_difference() >= 0 && instances > 1)
        std::fprintf(err,
                     "rampart: note: the plug-in's outputs differ from frame %lld on; "
                     "each channel holds its instance's first output\n",
                     static_cast<long long>(output.first_difference()));
    return 0;
}

int synth(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool help = false;
    SynthOptions o = parse_synth(args, help);
    if (help) return std::fputs(kSynthHelp, out), 0;
    OutputFormat format = output_format_for(o.out);
    auto total = static_cast<int64_t>(std::llround(o.seconds * o.rate));
    FileOutput output(o.out, format, o.rate, ChannelMode::One);
    PluckSynth synth(o.rate);
    std::vector<float> buf(4096);
    for (int64_t done = 0; done < total;) {
        size_t n = static_cast<size_t>(std::min<int64_t>(4096, total - done));
        synth.generate(buf.data(), n);
        output.write(buf.data(), nullptr, n);
        done += static_cast<int64_t>(n);
    }
    output.finish();
    std::FILE* report = o.out == "-" ? err : out;
    std::fprintf(report, "wrote %s: %s at %d Hz, mono; ", output_name(o.out).c_str(),
                 seconds_text(total, o.rate).c_str(), o.rate);
    if (o.seconds > PluckSynth::kTailStart)
        std::fprintf(report, "notes until %.1f s, then the quiet tail\n", PluckSynth::kTailStart);
    else
        std::fprintf(report, "plucked notes only (the quiet tail would start at %.1f s)\n",
                     PluckSynth::kTailStart);
    return 0;
}

int compare(const std::vector<std::string>& args, std::FILE* out) {
    bool help = false;
    CompareOptions o = parse_compare(args, help);
    if (help) return std::fputs(kCompareHelp, out), 0;
    auto a = open_audio_reader(o.a);
    auto b = open_audio_reader(o.b);
    Comparison c = compare_audio(*a, *b);
    if (!c.same) {
        std::fprintf(out, "%s and %s differ: %s\n", a->name().c_str(), b->name().c_str(),
                     c.difference.c_str());
        return 1;
    }
    std::fprintf(out, "%s and %s are identical: %lld frames, %d channel%s at %d Hz\n",
                 a->name().c_str(), b->name().c_str(), static_cast<long long>(a->frames()),
                 a->channels(), a->channels() == 1 ? "" : "s", a->rate());
    return 0;
}

int levels(const std::vector<std::string>& args, std::FILE* out) {
    bool help = false;
    LevelsOptions o = parse_levels(args, help);
    if (help) return std::fputs(kLevelsHelp, out), 0;
    auto in = open_audio_reader(o.file);
    const std::string& name = in->name();
    if (in->frames() == 0) throw Error(name + " holds no audio (0 frames)");
    auto frame_at = [&](double s) { return static_cast<int64_t>(std::llround(s * in->rate())); };
    int64_t from = frame_at(o.from);
    int64_t to = o.to ? frame_at(*o.to) : in->frames();
    if (from >= in->frames())
        throw Error("--from " + seconds_text(from, in->rate()) + " is past the end of " + name +
                    " (" + seconds_text(in->frames(), in->rate()) + ")");
    if (to > in->frames())
        throw Error("--to " + seconds_text(to, in->rate()) + " is past the end of " + name + " (" +
                    seconds_text(in->frames(), in->rate()) + ")");
    std::vector<ChannelLevel> lv = measure_levels(*in, from, to);
    std::fprintf(out, "%s from %s to %s (%lld frames)\n", name.c_str(),
                 seconds_text(from, in->rate()).c_str(), seconds_text(to, in->rate()).c_str(),
                 static_cast<long long>(to - from));
    for (size_t c = 0; c < lv.size(); ++c) {
        const ChannelLevel& l = lv[c];
        std::string who = lv.size() == 1 ? "" : "channel " + std::to_string(c + 1) + "  ";
        int64_t bad = l.nan + l.infinite;
        if (bad < to - from)
            std::fprintf(out, "%speak %s dBFS  RMS %s dBFS%s", who.c_str(),
                         dbfs_text(l.peak).c_str(), dbfs_text(l.rms).c_str(),
                         bad ? " of the finite samples; " : "\n");
        else
            std::fprintf(out, "%sno finite samples: ", who.c_str());
        if (bad)
            std::fprintf(out, "%lld NaN and %lld infinite, the first at %s\n",
                         static_cast<long long>(l.nan), static_cast<long long>(l.infinite),
                         seconds_text(l.first_bad, in->rate()).c_str());
    }
    return 0;
}

int envelope(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool help = false;
    EnvelopeOptions o = parse_envelope(args, help);
    if (help) return std::fputs(kEnvelopeHelp, out), 0;
    auto in = open_audio_reader(o.file);
    int64_t window = std::max<int64_t>(1, std::llround(o.window * in->rate()));
    int64_t frames = in->frames();
    std::vector<double> rms = measure_envelope(*in, window);
    int64_t bad = 0;
    double first_bad = 0;
    for (size_t i = 0; i < rms.size(); ++i) {
        int64_t start = static_cast<int64_t>(i) * window;
        double mid = (static_cast<double>(start) +
                      static_cast<double>(std::min(window, frames - start)) / 2) /
                     in->rate();
        if (!std::isfinite(rms[i])) {
            if (bad++ == 0) first_bad = mid;
            // gnuplot leaves such points out.
            std::fprintf(out, "%.4f %s\n", mid, std::isnan(rms[i]) ? "nan" : "inf");
            continue;
        }
        // gnuplot takes no "-inf"; -120 dB is far below anything shown.
        double db = rms[i] > 1e-6 ? 20 * std::log10(rms[i]) : -120.0;
        std::fprintf(out, "%.4f %.2f\n", mid, db);
    }
    if (bad)
        std::fprintf(err,
                     "rampart: warning: %s holds samples that are not finite (NaN or infinity) "
                     "in %lld window%s, the first at %.4f s\n",
                     in->name().c_str(), static_cast<long long>(bad), bad == 1 ? "" : "s",
                     first_bad);
    return 0;
}

} // namespace

std::string default_plugin_path() {
    return self_directory() + path_separator() + default_plugin_file();
}

int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (args.empty()) {
        std::fputs(kUsage, err);
        return 2;
    }
    using Args = const std::vector<std::string>&;
    static const struct {
        const char* name;
        int (*run)(Args, std::FILE*, std::FILE*);
    } commands[] = {
        {"info", [](Args a, std::FILE* o, std::FILE*) { return info(a, o); }},
        {"render", render_command},
        {"synth", synth},
        {"compare", [](Args a, std::FILE* o, std::FILE*) { return compare(a, o); }},
        {"levels", [](Args a, std::FILE* o, std::FILE*) { return levels(a, o); }},
        {"envelope", envelope},
        {"shot", shot_command},
    };
    const std::string& command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    bool known = false;
    try {
        if (command == "-h" || command == "--help" || command == "help")
            return std::fputs(kUsage, out), 0;
        if (command == "--version") return std::fputs("rampart " VR_VERSION "\n", out), 0;
        for (const auto& c : commands) {
            if (command != c.name) continue;
            known = true;
            return c.run(rest, out, err);
        }
        throw UsageError("unknown command '" + command + "'");
    } catch (const UsageError& e) {
        std::fprintf(err, "rampart: %s\n(see rampart %s%s--help)\n", e.what(),
                     known ? command.c_str() : "", known ? " " : "");
        return 2;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rampart: out of memory (a smaller --block may help)\n");
        return command == "compare" ? 2 : 1;
    } catch (const std::exception& e) {
        std::fprintf(err, "rampart: %s\n", e.what());
        return command == "compare" ? 2 : 1;
    }
}

} // namespace rampart
