// Natively WAV goes through our own code like on Windows; every other format
// libsndfile knows is read through it, and FLAC is written through it.
#include "AudioFile.h"
#include "Error.h"
#include "Wav.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace rampart {

namespace {

// libsndfile seeks: a file it reads from its start through a descriptor of
// its own; a pipe is first copied into an unnamed temporary file.
class SndfileReader : public AudioReader {
public:
    SndfileReader(std::unique_ptr<FileSource> source, const std::string& name) {
        name_ = name;
        identity_ = source->identity();
        int fd = -1;
        if (source->regular()) {
            fd = dup(fileno(source->file()));
            if (fd >= 0 && lseek(fd, source->start(), SEEK_SET) < 0) {
                close(fd);
                fd = -1;
            }
        } else {
            spool_ = std::tmpfile();
            if (!spool_) throw Error(name + ": cannot keep a copy of it: " + std::strerror(errno));
            std::vector<unsigned char> buf(1 << 16);
            while (size_t n = source->read(buf.data(), buf.size()))
                if (std::fwrite(buf.data(), 1, n, spool_) != n)
                    throw Error(name + ": cannot keep a copy of it: " + std::strerror(errno));
            if (std::fflush(spool_) != 0 || std::fseek(spool_, 0, SEEK_SET) != 0)
                throw Error(name + ": cannot keep a copy of it: " + std::strerror(errno));
            fd = dup(fileno(spool_));
        }
        if (fd < 0) throw Error("cannot read " + name + ": " + std::strerror(errno));
        SF_INFO info{};
        file_ = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
        if (!file_)
            throw Error(name + ": not an audio file this build reads (" + sf_strerror(nullptr) +
                        ")");
        if (info.channels < 1 || info.channels > 1024 || info.samplerate < 1) {
            sf_close(file_);
            throw Error(name + ": unusable channel count or sample rate");
        }
        rate_ = info.samplerate;
        channels_ = info.channels;
        frames_ = info.frames;
    }
    ~SndfileReader() override {
        if (file_) sf_close(file_);
        if (spool_) std::fclose(spool_);
    }
    size_t read(double* out, size_t frames) override {
        sf_count_t n = sf_readf_double(file_, out, static_cast<sf_count_t>(frames));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

private:
    SNDFILE* file_ = nullptr;
    std::FILE* spool_ = nullptr;
};

// 24-bit FLAC. The float to integer step is ours (the WAV writer's rounding),
// not libsndfile's, so that a file read back and written again is unchanged.
class FlacWriter : public AudioWriter {
public:
    FlacWriter(std::FILE* file, bool owned, const std::string& name, int rate, int channels)
        : name_(name), owned_file_(owned ? file : nullptr) {
        channels_ = channels;
        check_output(name, OutputFormat::Flac, rate, channels);
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
        std::fflush(file);
        file_ = sf_open_fd(fileno(file), SFM_WRITE, &info, SF_FALSE);
        if (!file_) throw Error("cannot write " + name + ": " + sf_strerror(nullptr));
    }
    ~FlacWriter() override {
        if (file_) sf_close(file_);
        if (owned_file_) std::fclose(owned_file_);
    }
    void write(const float* in, size_t frames) override {
        ints_.resize(frames * static_cast<size_t>(channels_));
        for (size_t i = 0; i < ints_.size(); ++i)
            ints_[i] = static_cast<int>(static_cast<uint32_t>(float_to_pcm(in[i], 24)) << 8);
        if (sf_writef_int(file_, ints_.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames))
            throw Error("cannot write " + name_ + ": " + sf_strerror(file_));
    }
    void finish() override {
        if (!file_) return;
        int err = sf_close(file_);
        file_ = nullptr;
        if (err) throw Error("cannot write " + name_ + ": " + sf_error_number(err));
        if (owned_file_) {
            std::FILE* f = owned_file_;
            owned_file_ = nullptr;
            if (std::fclose(f) != 0)
                throw Error("cannot write " + name_ + ": " + std::strerror(errno));
        }
    }

private:
    std::string name_;
    std::FILE* owned_file_;
    SNDFILE* file_ = nullptr;
    std::vector<int> ints_;
};

} // namespace

std::unique_ptr<AudioReader> open_audio_reader(const std::string& path) {
    auto source = open_file_source(path);
    unsigned char head[12];
    size_t n = source->peek(head, sizeof head);
    if (looks_like_wav(head, n))
        return std::make_unique<WavReader>(std::move(source), input_name(path));
    return std::make_unique<SndfileReader>(std::move(source), input_name(path));
}

OutputFormat output_format_for(const std::string& path) {
    std::string ext = extension_of(path);
    if (ext == ".wav" || path == "-") return OutputFormat::Wav;
    if (ext == ".flac") return OutputFormat::Flac;
    throw UsageError("cannot tell the output format from " + path + ": name it .wav or .flac");
}

void check_output(const std::string& name, OutputFormat format, int rate, int channels) {
    if (format != OutputFormat::Flac) return;
    // What libsndfile's FLAC encoder takes; it says no more than "Format not recognised".
    if (channels < 1 || channels > 8)
        throw Error("cannot write " + name + ": FLAC holds 1 to 8 channels, not " +
                    std::to_string(channels) + " (write .wav instead)");
    if (rate < 1 || rate > 655350)
        throw Error("cannot write " + name + ": FLAC holds sample rates up to 655350 Hz, not " +
                    std::to_string(rate) + " Hz (write .wav instead)");
}

std::unique_ptr<AudioWriter> open_audio_writer(std::FILE* file, const std::string& name,
                                               OutputFormat format, int rate, int channels) {
    if (format == OutputFormat::Flac)
        return std::make_unique<FlacWriter>(file, false, name, rate, channels);
    return std::make_unique<WavWriter>(file, name, rate, channels, WavSample::Float32);
}

std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat format,
                                               int rate, int channels) {
    if (format == OutputFormat::Wav)
        return std::make_unique<WavWriter>(path, rate, channels, WavSample::Float32);
    check_output(path, format, rate, channels);
    std::FILE* f = std::fopen(path.c_str(), "w+b");
    if (!f) throw Error("cannot create " + path + ": " + std::strerror(errno));
    try {
        return std::make_unique<FlacWriter>(f, true, path, rate, channels);
    } catch (...) {
        std::fclose(f);
        std::remove(path.c_str());
        throw;
    }
}

const char* audio_formats_note() {
    return "Reads WAV and RF64 (PCM 8/16/24/32-bit, float 32/64-bit) and whatever else\n"
           "libsndfile reads (FLAC, AIFF, Ogg...). Writes 32-bit float WAV (.wav) or 24-bit\n"
           "FLAC (.flac). \"-\" is standard input or output (WAV).";
}

} // namespace rampart
