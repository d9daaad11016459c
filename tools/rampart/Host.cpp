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

Plugin::Plugin(const std::string& path) : library_(Library::open(path)), path_(path) {
    void* entry = library_->symbol("VSTPluginMain");
    entry_ = "VSTPluginMain";
    if (!entry) {
        entry = library_->symbol("main");
        entry_ = "main";
    }
    if (!entry)
        throw Error(path + " is not a VST 2.x plug-in: it exports neither VSTPluginMain nor main");
    adopt(reinterpret_cast<VstPluginMainProc>(entry));
}

Plugin::Plugin(VstPluginMainProc entry, const std::string& name) : path_(name) {
    entry_ = "VSTPluginMain";
    adopt(entry);
}

void Plugin::adopt(VstPluginMainProc entry) {
    auto fail = [&](const std::string& why) {
        throw Error(path_ + " is not a VST 2.x plug-in: " + why);
    };
    effect_ = entry(&host_callback);
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

void Plugin::open() {
    if (opened_) return;
    opened_ = true;
    dispatch(effOpen);
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

std::vector<std::pair<int32_t, float>>
find_parameters(Plugin& plugin, const std::vector<std::pair<std::string, float>>& parameters) {
    std::vector<std::pair<int32_t, float>> found;
    for (const auto& [name, x] : parameters) {
        int index = plugin.find_parameter(name);
        if (index < 0) throw Error(plugin.path() + " has no parameter named " + name);
        found.emplace_back(index, x);
    }
    return found;
}

namespace {

// One instance's pins for a block.
struct Pins {
    std::vector<std::vector<float>> ins, outs;
    std::vector<float*> in_ptrs, out_ptrs;
    Pins(const AEffect& fx, size_t block)
        : ins(static_cast<size_t>(fx.numInputs), std::vector<float>(block)),
          outs(static_cast<size_t>(fx.numOutputs), std::vector<float>(block)) {
        for (auto& v : ins)
            in_ptrs.push_back(v.data());
        for (auto& v : outs)
            out_ptrs.push_back(v.data());
        // Plug-ins without inputs still get a valid array.
        if (in_ptrs.empty()) in_ptrs.push_back(nullptr);
    }
};

// Every instance's buffers together: far beyond any real render, and more
// could take the machine down before an allocation fails.
constexpr uint64_t kMaxBufferBytes = uint64_t(1) << 30;

void check_can_render(Plugin& plugin) {
    AEffect& fx = plugin.effect();
    if (!fx.processReplacing || !(fx.flags & effFlagsCanReplacing))
        throw Error(plugin.path() + " cannot process replacing");
    if (fx.numOutputs < 1) throw Error(plugin.path() + " has no outputs");
    if (fx.numInputs < 0 || fx.numInputs > kMaxPins || fx.numOutputs > kMaxPins)
        throw Error(plugin.path() + " gives an unusable number of inputs or outputs");
}

} // namespace

RenderStats render(std::span<Plugin* const> instances, AudioReader& in, OutputSink& out,
                   const RenderSettings& settings, const std::function<void(int64_t)>& progress) {
    if (settings.block < 1) throw Error("block size must be at least 1");
    const size_t channels = static_cast<size_t>(in.channels());
    const size_t count = instances.size();
    if (count == 0) throw Error("no plug-in to render through");
    if (count > 1 && count != channels)
        throw Error(std::to_string(count) + " instances for the " + std::to_string(channels) +
                    " channels of " + in.name());
    if (count == 1 && (settings.channel < 0 || static_cast<size_t>(settings.channel) >= channels))
        throw Error(in.name() + " has no channel " + std::to_string(settings.channel + 1));
    const size_t block = static_cast<size_t>(settings.block);
    uint64_t pins = 0;
    for (Plugin* p : instances) {
        check_can_render(*p);
        pins += static_cast<uint64_t>(p->effect().numInputs + p->effect().numOutputs);
    }
    if (pins * block * sizeof(float) > kMaxBufferBytes)
        throw Error("blocks of " + std::to_string(block) + " frames through " +
                    std::to_string(count) + " instance" + (count == 1 ? "" : "s") + " need " +
                    std::to_string(pins * block * sizeof(float) >> 20) +
                    " MiB of buffers, more than 1024 MiB: use a smaller --block");

    // Suspended again however the loop ends.
    struct Suspend {
        std::vector<Plugin*> resumed;
        ~Suspend() {
            for (Plugin* p : resumed)
                p->dispatch(effMainsChanged, 0, 0);
        }
    } suspend;
    std::vector<Pins> pinned;
    pinned.reserve(count);
    for (Plugin* p : instances) {
        p->open();
        auto params = find_parameters(*p, settings.parameters);
        p->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(in.rate()));
        p->dispatch(effSetBlockSize, 0, settings.block);
        p->dispatch(effMainsChanged, 0, 1);
        suspend.resumed.push_back(p);
        for (const auto& [index, x] : params)
            p->set_parameter(index, x);
        pinned.emplace_back(p->effect(), block);
    }

    // The file is read a slice at a time: wide files and large blocks must
    // not multiply into one huge buffer.
    const size_t slice = std::min<size_t>(block, 4096);
    std::vector<float> file(slice * channels);
    std::vector<InstanceOutput> outputs(count);
    RenderStats stats;
    for (;;) {
        size_t n = 0;
        while (n < block) {
            size_t got = in.read(file.data(), std::min(slice, block - n));
            if (got == 0) break;
            for (size_t k = 0; k < count; ++k) {
                if (pinned[k].ins.empty()) continue;
                size_t channel = count == 1 ? static_cast<size_t>(settings.channel) : k;
                float* to = pinned[k].ins[0].data() + n;
                for (size_t i = 0; i < got; ++i)
                    to[i] = file[i * channels + channel];
            }
            n += got;
        }
        if (n == 0) break;
        for (size_t k = 0; k < count; ++k) {
            Pins& p = pinned[k];
            // The plug-in may have written into its inputs.
            for (size_t c = 1; c < p.ins.size(); ++c)
                std::fill_n(p.ins[c].begin(), n, 0.0f);
            for (auto& o : p.outs)
                std::fill_n(o.begin(), n, 0.0f);
            AEffect& fx = instances[k]->effect();
            fx.processReplacing(&fx, p.in_ptrs.data(), p.out_ptrs.data(), static_cast<int32_t>(n));
            outputs[k] = {p.outs[0].data(), p.outs.size() > 1 ? p.outs[1].data() : nullptr};
        }
        out.write(outputs, n);
        stats.frames += static_cast<int64_t>(n);
        ++stats.blocks;
        if (progress) progress(stats.frames);
        if (n < block) break;
    }
    return stats;
}

} // namespace rampart
