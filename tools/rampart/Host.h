#pragma once
// The host: loads a VST 2.x plug-in through its entry point, talks to it only
// through the effect record, and runs audio through it block by block.
#include "AudioFile.h"
#include "Loader.h"
#include "QZ_Vst2.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace rampart {

// The VST version this host claims.
constexpr intptr_t kHostVstVersion = 2400;

// Answers audioMasterVersion with 2400 and 0 to every other request.
intptr_t host_callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                       float opt);

class Plugin {
public:
    // Loads the library, calls VSTPluginMain (or else main) with the host
    // callback and checks the record; throws Error when any of it fails.
    explicit Plugin(const std::string& path);
    // A plug-in linked into this program, made through its entry point with
    // the same host callback and checks; `name` stands for the path in messages.
    Plugin(VstPluginMainProc entry, const std::string& name);
    // effClose unless already closed, then unloads the library.
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect& effect() { return *effect_; }
    const std::string& path() const { return path_; }
    // The entry point that was found ("VSTPluginMain" or "main").
    const char* entry_name() const { return entry_; }

    // effOpen, once however often it is asked for.
    void open();
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    // A text opcode's answer. The buffer is zeroed and far larger than the
    // interface's limits: plug-ins overrun them.
    std::string text(int32_t opcode, int32_t index = 0);
    // Index of the parameter with that name (effGetParamName, any case), or -1.
    int find_parameter(const std::string& name);
    // Throw Error when the record lacks the routine.
    void set_parameter(int32_t index, float x);
    float get_parameter(int32_t index);
    // effClose through the dispatcher; the record is gone afterwards.
    void close();

private:
    void adopt(VstPluginMainProc entry);

    std::unique_ptr<Library> library_;
    std::string path_;
    AEffect* effect_ = nullptr;
    const char* entry_ = nullptr;
    bool opened_ = false;
    bool closed_ = false;
};

enum class ChannelMode { Auto, One, Two };

// One instance's first two outputs for a block; second is null when the
// plug-in has only one.
struct InstanceOutput {
    const float* first;
    const float* second;
};

// Receives a block of output from every instance of a render, in the order
// of the input channels they were given.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void write(std::span<const InstanceOutput> outputs, size_t frames) = 0;
};

struct RenderSettings {
    int block = 512;
    // The input channel (from 0) a render through one instance takes.
    int channel = 0;
    // Set by name after effMainsChanged, in this order, as normalised values.
    std::vector<std::pair<std::string, float>> parameters;
};

struct RenderStats {
    int64_t frames = 0;
    int64_t blocks = 0;
};

// Looks up every parameter by name (effGetParamName) before any is set;
// throws Error naming one the plug-in lacks.
std::vector<std::pair<int32_t, float>>
find_parameters(Plugin& plugin, const std::vector<std::pair<std::string, float>>& parameters);

// For each instance: effOpen (unless done), effSetSampleRate (the file's rate),
// effSetBlockSize, effMainsChanged 1, the parameters. Then processReplacing
// of every instance over the whole input in blocks of settings.block frames
// (the last one shorter), and effMainsChanged 0. One instance gets input
// channel settings.channel; several get a channel each, instance k channel k,
// as hosts run a mono effect on a wider track. A plug-in's first input gets
// the channel, any other input silence. `progress` hears the frames done
// after each block.
RenderStats render(std::span<Plugin* const> instances, AudioReader& in, OutputSink& out,
                   const RenderSettings& settings,
                   const std::function<void(int64_t)>& progress = {});

// One instance.
inline RenderStats render(Plugin& plugin, AudioReader& in, OutputSink& out,
                          const RenderSettings& settings,
                          const std::function<void(int64_t)>& progress = {}) {
    Plugin* one[] = {&plugin};
    return render(one, in, out, settings, progress);
}

} // namespace rampart
