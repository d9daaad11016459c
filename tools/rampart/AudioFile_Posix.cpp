// Natively WAV goes through our own code like on Windows; every other format
// libsndfile knows is read through it, and FLAC is written through it.
#include "AudioFile.h"
#include "Error.h"
#include "Wav.h"

#include <sndfile.h>

#include <vector>

namespace rampart {

namespace {

class SndfileReader : public AudioReader {
public:
    explicit SndfileReader(const std::string& path) {
        name_ = path;
        SF_INFO info{};
        file_ = sf_open(path.c_str(), SFM_READ, &info);
        if (!file_)
            throw Error(path + ": not an audio file this build reads (" + sf_strerror(nullptr) +
                        ")");
        if (info.channels < 1 || info.channels > 1024 || info.samplerate < 1) {
            sf_close(file_);
            throw Error(path + ": unusable channel count or sample rate");
        }
        rate_ = info.samplerate;
        channels_ = info.channels;
        frames_ = info.frames;
    }
    ~SndfileReader() override { sf_close(file_); }
    size_t read(double* out, size_t frames) override {
        sf_count_t n = sf_readf_double(file_, out, static_cast<sf_count_t>(frames));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

private:
    SNDFILE* file_;
};

// 24-bit FLAC. The float to integer step is ours (the WAV writer's rounding),
// not libsndfile's, so that a file read back and written again is unchanged.
class FlacWriter : public AudioWriter {
public:
    FlacWriter(const std::string& path, int rate, int channels) : path_(path) {
        channels_ = channels;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
        file_ = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file_) throw Error("cannot create " + path + ": " + sf_strerror(nullptr));
    }
    ~FlacWriter() override {
        if (file_) sf_close(file_);
    }
    void write(const float* in, size_t frames) override {
        ints_.resize(frames * static_cast<size_t>(channels_));
        for (size_t i = 0; i < ints_.size(); ++i)
            ints_[i] = static_cast<int>(static_cast<uint32_t>(float_to_pcm(in[i], 24)) << 8);
        if (sf_writef_int(file_, ints_.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames))
            throw Error("cannot write " + path_ + ": " + sf_strerror(file_));
    }
    void finish() override {
        if (!file_) return;
        int err = sf_close(file_);
        file_ = nullptr;
        if (err) throw Error("cannot write " + path_ + ": " + sf_error_number(err));
    }

private:
    std::string path_;
    SNDFILE* file_ = nullptr;
    std::vector<int> ints_;
};

} // namespace

std::unique_ptr<AudioReader> open_audio_reader(const std::string& path) {
    if (file_is_wav(path)) return std::make_unique<WavReader>(open_file_source(path), path);
    return std::make_unique<SndfileReader>(path);
}

OutputFormat output_format_for(const std::string& path) {
    std::string ext = extension_of(path);
    if (ext == ".wav") return OutputFormat::Wav;
    if (ext == ".flac") return OutputFormat::Flac;
    throw Error("cannot tell the output format from " + path + ": name it .wav or .flac");
}

std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat format,
                                               int rate, int channels) {
    if (format == OutputFormat::Flac) return std::make_unique<FlacWriter>(path, rate, channels);
    return std::make_unique<WavWriter>(path, rate, channels, WavSample::Float32);
}

const char* audio_formats_note() {
    return "Reads WAV (PCM 8/16/24/32-bit, float 32/64-bit) and whatever else libsndfile\n"
           "reads (FLAC, AIFF, Ogg...). Writes 32-bit float WAV (.wav) or 24-bit FLAC (.flac).";
}

} // namespace rampart
