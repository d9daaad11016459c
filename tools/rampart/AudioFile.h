#pragma once
// Audio files as the commands see them: readers hand out interleaved samples
// block by block, writers take them block by block, so a file of any length
// passes through a fixed amount of memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rampart {

class AudioReader {
public:
    virtual ~AudioReader() = default;
    int rate() const { return rate_; }
    int channels() const { return channels_; }
    int64_t frames() const { return frames_; }
    const std::string& name() const { return name_; }

    // Reads up to `frames` interleaved frames; answers how many, fewer than
    // asked only at the end.
    // Doubles hold every sample format exactly (32-bit integers included).
    virtual size_t read(double* out, size_t frames) = 0;
    // The same, rounded to float.
    size_t read(float* out, size_t frames);

protected:
    int rate_ = 0;
    int channels_ = 0;
    int64_t frames_ = 0;
    std::string name_;

private:
    std::vector<double> scratch_;
};

class AudioWriter {
public:
    virtual ~AudioWriter() = default;
    int channels() const { return channels_; }
    virtual void write(const float* interleaved, size_t frames) = 0;
    // Completes the file (sizes in the header); a writer destroyed without it
    // leaves an incomplete file for the caller to remove.
    virtual void finish() = 0;

protected:
    int channels_ = 0;
};

enum class OutputFormat { Wav, Flac };

// Opens any audio file this build reads: WAV everywhere (our own reader, so
// both builds decode it identically), natively also what libsndfile knows.
std::unique_ptr<AudioReader> open_audio_reader(const std::string& path);

// The output format for a file name, from its extension; throws if this build
// cannot write it.
OutputFormat output_format_for(const std::string& path);

// WAV: 32-bit float. FLAC: 24-bit (native only).
std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat format,
                                               int rate, int channels);

// One line for --help: what this build reads and writes.
const char* audio_formats_note();

// True when the bytes begin a RIFF/RIFX/RF64 "WAVE" header (12 bytes or more).
bool looks_like_wav(const unsigned char* head, size_t size);

// True when the file begins with a WAV header; throws if it cannot be opened.
bool file_is_wav(const std::string& path);

// Lower-case extension of a path with its dot (".wav"), or "".
std::string extension_of(const std::string& path);

} // namespace rampart
