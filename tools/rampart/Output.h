#pragma once
// Where a render goes: an audio file written under a temporary name and put
// in place only when complete, so a failed render leaves no half file.
#include "AudioFile.h"
#include "Host.h"
#include "TempFile.h"

namespace rampart {

// Channel rule for one instance: One writes the first output, Two the first
// two. Auto writes one channel while the plug-in's first two outputs are
// bit-identical and two from the first block in which they differ (what was
// written so far is then copied into a two-channel file with both channels
// equal). Several instances give a channel each, their first output (Two is
// refused).
class FileOutput : public OutputSink {
public:
    // `path` "-" is standard output. Throws Error before anything is
    // written when the format cannot hold the output.
    FileOutput(const std::string& path, OutputFormat format, int rate, ChannelMode mode,
               int instances = 1);
    // Removes the temporary files of an unfinished render.
    ~FileOutput() override = default;

    void write(std::span<const InstanceOutput> outputs, size_t frames) override;
    // One instance's block.
    void write(const float* first, const float* second, size_t frames);
    // Completes the file and moves it to its name.
    void finish();

    int channels() const;
    // First frame at which an instance's first two outputs differed, or -1.
    int64_t first_difference() const { return first_difference_; }

private:
    void widen();

    std::string path_;
    OutputFormat format_;
    int rate_;
    ChannelMode mode_;
    // The writer goes before its file.
    std::unique_ptr<TempFile> temp_;
    std::unique_ptr<AudioWriter> writer_;
    std::vector<const float*> sources_; // the file's channels of a block
    std::vector<float> interleaved_;
    int instances_;
    int64_t frames_ = 0;
    int64_t first_difference_ = -1;
};

} // namespace rampart
