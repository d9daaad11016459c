#include "Output.h"

#include "Error.h"

#include <cstring>

namespace rampart {

FileOutput::FileOutput(const std::string& path, OutputFormat format, int rate, ChannelMode mode,
                       int instances)
    : path_(path), format_(format), rate_(rate), mode_(mode), instances_(instances) {
    if (instances > 1 && mode == ChannelMode::Two)
        throw Error("two output channels asked of each of " + std::to_string(instances) +
                    " instances");
    int channels = mode_ == ChannelMode::Two ? 2 : 1;
    if (instances > 1) channels = instances;
    check_output(output_name(path_), format_, rate_, channels);
    temp_ = std::make_unique<TempFile>(path_);
    writer_ = open_audio_writer(temp_->file(), output_name(path_), format_, rate_, channels);
}

int FileOutput::channels() const {
    return writer_->channels();
}

void FileOutput::write(const float* first, const float* second, size_t frames) {
    InstanceOutput one{first, second};
    write({&one, 1}, frames);
}

void FileOutput::write(std::span<const InstanceOutput> outputs, size_t frames) {
    if (outputs.size() != static_cast<size_t>(instances_))
        throw Error("output of " + std::to_string(outputs.size()) + " instances for a file of " +
                    std::to_string(instances_));
    if (first_difference_ < 0) {
        size_t first = frames;
        for (const InstanceOutput& o : outputs) {
            if (!o.second || std::memcmp(o.first, o.second, frames * sizeof(float)) == 0) continue;
            for (size_t i = 0; i < first; ++i) {
                if (std::memcmp(o.first + i, o.second + i, sizeof(float)) != 0) {
                    first = i;
                    break;
                }
            }
        }
        if (first < frames) {
            first_difference_ = frames_ + static_cast<int64_t>(first);
            if (mode_ == ChannelMode::Auto && instances_ == 1) widen();
        }
    }
    const size_t channels = static_cast<size_t>(writer_->channels());
    if (channels == 1) {
        writer_->write(outputs[0].first, frames);
    } else {
        // Several instances: their first outputs. One instance: its two.
        if (instances_ == 1 && !outputs[0].second)
            throw Error("two output channels asked of a plug-in with one output");
        sources_.clear();
        for (const InstanceOutput& o : outputs)
            sources_.push_back(o.first);
        if (instances_ == 1) sources_.push_back(outputs[0].second);
        interleaved_.resize(channels * frames);
        for (size_t i = 0; i < frames; ++i)
            for (size_t c = 0; c < channels; ++c)
                interleaved_[channels * i + c] = sources_[c][i];
        writer_->write(interleaved_.data(), frames);
    }
    frames_ += static_cast<int64_t>(frames);
}

void FileOutput::widen() {
    writer_->finish();
    auto wide = std::make_unique<TempFile>(path_);
    auto stereo = open_audio_writer(wide->file(), output_name(path_), format_, rate_, 2);
    {
        auto mono = open_audio_reader(temp_->path());
        std::vector<float> in(4096), out(2 * 4096);
        while (size_t n = mono->read(in.data(), in.size())) {
            for (size_t i = 0; i < n; ++i)
                out[2 * i] = out[2 * i + 1] = in[i];
            stereo->write(out.data(), n);
        }
    }
    writer_ = std::move(stereo);
    temp_ = std::move(wide);
}

void FileOutput::finish() {
    writer_->finish();
    temp_->commit();
}

} // namespace rampart
