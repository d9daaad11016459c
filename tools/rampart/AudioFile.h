#pragma once
// Audio files as the commands see them: readers hand out interleaved samples
// block by block, writers take them block by block, so a file of any length
// passes through a fixed amount of memory.
#include "Platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
    // The file read, when it is one: an output must never replace it.
    const std::optional<FileIdentity>& identity() const { return identity_; }

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
    std::optional<FileIdentity> identity_;

private:
    std::vector<double> scratch_;
};

class AudioWriter {
public:
    virtual ~AudioWriter() = default;
    int channels() const { return channels_; }
    virtual void write(const float* interleaved, size_t frames) = 0;
    // Completes the file (sizes in the header) and closes it, or flushes it
    // when it was lent; a writer destroyed without it leaves an incomplete
    // file for the caller to remove.
    virtual void finish() = 0;

protected:
    int channels_ = 0;
};

enum class OutputFormat { Wav, Flac };

// Opens any audio file this build reads, "-" being standard input, and reads
// it once (a pipe cannot be read twice): WAV everywhere (our own reader, so
// both builds decode it identically), natively also what libsndfile knows.
std::unique_ptr<AudioReader> open_audio_reader(const std::string& path);

// The output format for a file name, from its extension ("-": WAV); throws
// UsageError when the name tells none, Error when this build cannot write it.
OutputFormat output_format_for(const std::string& path);

// Throws Error, naming `name`, when the format cannot hold such audio.
void check_output(const std::string& name, OutputFormat format, int rate, int channels);

// WAV: 32-bit float. FLAC: 24-bit (native only). Into an open file the
// writer borrows (finish leaves it open), or a file it creates at `path`.
std::unique_ptr<AudioWriter> open_audio_writer(std::FILE* file, const std::string& name,
                                               OutputFormat format, int rate, int channels);
std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat format,
                                               int rate, int channels);

// One line for --help: what this build reads and writes.
const char* audio_formats_note();

// True when the bytes begin a RIFF/RIFX/RF64 "WAVE" header (12 bytes or more).
bool looks_like_wav(const unsigned char* head, size_t size);

// How an input is called in messages: "-" is "standard input".
std::string input_name(const std::string& path);

// Lower-case extension of a path with its dot (".wav"), or "".
std::string extension_of(const std::string& path);

} // namespace rampart
