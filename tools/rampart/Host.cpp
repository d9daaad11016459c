#include "Host.h"

#include "Error.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace rampart {

namespace {
// More would be a broken record, not a plug-in.
constexpr int32_t kMaxPins = 1024;
} // namespace

intptr_t host_callback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? kHostVstVersion : 0;
}

Plugin::Plugin(const std::string& path) : library_(Library::open(path)) {
    auto fail = [&](const std::string& why) {
        throw Error(path + " is not a VST 2.x plug-in: " + why);
    };
    void* entry = library_->symbol("VSTPluginMain");
    entry_ = "VSTPluginMain";
    if (!entry) {
        entry = library_->symbol("main");
        entry_ = "main";
    }
    if (!entry) fail("it exports neither VSTPluginMain nor main");
    auto main_proc = reinterpret_cast<VstPluginMainProc>(entry);
    effect_ = main_proc(&host_callback);
    if (!effect_) fail(std::string(entry_) + " answered no effect record");
    if (effect_->magic != kEffectMagic) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(effect_->magic));
        fail(std::string("its effect record has the magic ") + hex + ", not 0x56737450 ('VstP')");
    }
    if (!effect_->dispatcher) fail("its effect record has no dispatcher");
}

Plugin::~Plugin() {
    if (!closed_) close();
}

intptr_t Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Plugin::text(int32_t opcode, int32_t index) {
    char buf[1024] = {};
    dispatch(opcode, index, 0, buf);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

int Plugin::find_parameter(const std::string& name) {
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::string want = lower(name);
    for (int32_t i = 0; i < effect_->numParams; ++i)
        if (lower(text(effGetParamName, i)) == want) return i;
    return -1;
}

void Plugin::set_parameter(int32_t index, float x) {
    if (!effect_->setParameter) throw Error(path() + " has no setParameter routine");
    effect_->setParameter(effect_, index, x);
}

float Plugin::get_parameter(int32_t index) {
    if (!effect_->getParameter) throw Error(path() + " has no getParameter routine");
    return effect_->getParameter(effect_, index);
}

void Plugin::close() {
    if (closed_) return;
    closed_ = true;
    dispatch(effClose);
    effect_ = nullptr;
}

RenderStats render(Plugin& plugin, AudioReader& in, OutputSink& out, const RenderSettings& settings,
                   const std::function<void(int64_t)>& progress) {
    AEffect& fx = plugin.effect();
    if (settings.block < 1) throw Error("block size must be at least 1");
    if (!fx.processReplacing || !(fx.flags & effFlagsCanReplacing))
        throw Error(plugin.path() + " cannot process replacing");
    if (fx.numOutputs < 1) throw Error(plugin.path() + " has no outputs");
    if (fx.numInputs < 0 || fx.numInputs > kMaxPins || fx.numOutputs > kMaxPins)
        throw Error(plugin.path() + " gives an unusable number of inputs or outputs");

    plugin.dispatch(effOpen);
    std::vector<std::pair<int32_t, float>> params;
    for (const auto& [name, x] : settings.parameters) {
        int index = plugin.find_parameter(name);
        if (index < 0) throw Error(plugin.path() + " has no parameter named " + name);
        params.emplace_back(index, x);
    }
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(in.rate()));
    plugin.dispatch(effSetBlockSize, 0, settings.block);
    plugin.dispatch(effMainsChanged, 0, 1);
    // Suspended again however the loop ends.
    struct Suspend {
        Plugin& p;
        ~Suspend() { p.dispatch(effMainsChanged, 0, 0); }
    } suspend{plugin};
    for (const auto& [index, x] : params)
        plugin.set_parameter(index, x);

    const size_t block = static_cast<size_t>(settings.block);
    const size_t channels = static_cast<size_t>(in.channels());
    // The file is read a slice at a time: wide files and large blocks must
    // not multiply into one huge buffer.
    const size_t slice = std::min<size_t>(block, 4096);
    std::vector<float> file(slice * channels);
    std::vector<std::vector<float>> ins(static_cast<size_t>(fx.numInputs),
                                        std::vector<float>(block));
    std::vector<std::vector<float>> outs(static_cast<size_t>(fx.numOutputs),
                                         std::vector<float>(block));
    std::vector<float*> in_ptrs, out_ptrs;
    for (auto& v : ins)
        in_ptrs.push_back(v.data());
    for (auto& v : outs)
        out_ptrs.push_back(v.data());
    // Plug-ins without inputs still get a valid array.
    float* no_input = nullptr;
    float** in_array = in_ptrs.empty() ? &no_input : in_ptrs.data();

    RenderStats stats;
    for (;;) {
        size_t n = 0;
        while (n < block) {
            size_t got = in.read(file.data(), std::min(slice, block - n));
            if (got == 0) break;
            if (!ins.empty())
                for (size_t i = 0; i < got; ++i)
                    ins[0][n + i] = file[i * channels];
            n += got;
        }
        if (n == 0) break;
        // The plug-in may have written into its inputs.
        for (size_t c = 1; c < ins.size(); ++c)
            std::fill_n(ins[c].begin(), n, 0.0f);
        for (auto& o : outs)
            std::fill_n(o.begin(), n, 0.0f);
        fx.processReplacing(&fx, in_array, out_ptrs.data(), static_cast<int32_t>(n));
        out.write(outs[0].data(), outs.size() > 1 ? outs[1].data() : nullptr, n);
        stats.frames += static_cast<int64_t>(n);
        ++stats.blocks;
        if (progress) progress(stats.frames);
        if (n < block) break;
    }
    return stats;
}

} // namespace rampart
