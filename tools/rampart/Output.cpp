#include "Output.h"

#include "Error.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace rampart {

namespace {

void remove_quietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace

FileOutput::FileOutput(const std::string& path, OutputFormat format, int rate, ChannelMode mode)
    : path_(path), format_(format), rate_(rate), mode_(mode), temp_(path + ".part") {
    writer_ = open_audio_writer(temp_, format_, rate_, mode_ == ChannelMode::Two ? 2 : 1);
}

FileOutput::~FileOutput() {
    if (finished_) return;
    writer_.reset();
    remove_quietly(temp_);
    remove_quietly(path_ + ".part2");
}

int FileOutput::channels() const {
    return writer_->channels();
}

void FileOutput::write(const float* first, const float* second, size_t frames) {
    if (second && first_difference_ < 0 &&
        std::memcmp(first, second, frames * sizeof(float)) != 0) {
        for (size_t i = 0; i < frames; ++i) {
            if (std::memcmp(first + i, second + i, sizeof(float)) != 0) {
                first_difference_ = frames_ + static_cast<int64_t>(i);
                break;
            }
        }
        if (mode_ == ChannelMode::Auto) widen();
    }
    if (writer_->channels() == 1) {
        writer_->write(first, frames);
    } else {
        if (!second) throw Error("two output channels asked of a plug-in with one output");
        interleaved_.resize(2 * frames);
        for (size_t i = 0; i < frames; ++i) {
            interleaved_[2 * i] = first[i];
            interleaved_[2 * i + 1] = second[i];
        }
        writer_->write(interleaved_.data(), frames);
    }
    frames_ += static_cast<int64_t>(frames);
}

void FileOutput::widen() {
    writer_->finish();
    std::string wide = path_ + ".part2";
    auto stereo = open_audio_writer(wide, format_, rate_, 2);
    {
        auto mono = open_audio_reader(temp_);
        std::vector<float> in(4096), out(2 * 4096);
        while (size_t n = mono->read(in.data(), in.size())) {
            for (size_t i = 0; i < n; ++i)
                out[2 * i] = out[2 * i + 1] = in[i];
            stereo->write(out.data(), n);
        }
    }
    remove_quietly(temp_);
    writer_ = std::move(stereo);
    temp_ = wide;
}

void FileOutput::finish() {
    writer_->finish();
    std::error_code ec;
    std::filesystem::rename(temp_, path_, ec);
    if (ec) throw Error("cannot move " + temp_ + " to " + path_ + ": " + ec.message());
    finished_ = true;
}

} // namespace rampart
