#pragma once
// RIFF WAVE reading and writing of our own, the same code in both builds.
#include "AudioFile.h"

#include <cstdio>
#include <vector>

namespace rampart {

// Where a reader's bytes come from: a file, or memory (tests, the fuzzer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Answers the bytes read; fewer than asked only at the end.
    virtual size_t read(void* out, size_t bytes) = 0;
    // Skips forward; false at the end.
    virtual bool skip(uint64_t bytes) = 0;
    // Bytes left from the current position, or -1 when unknown.
    virtual int64_t remaining() const = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    size_t read(void* out, size_t bytes) override;
    bool skip(uint64_t bytes) override;
    int64_t remaining() const override { return static_cast<int64_t>(size_ - pos_); }

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Opens a file for reading; throws with the system's reason.
std::unique_ptr<ByteSource> open_file_source(const std::string& path);

enum class WavSample { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

int bytes_per_sample(WavSample s);

class WavReader : public AudioReader {
public:
    // Reads the header up to the data chunk; throws Error naming `name` for
    // anything that is not a WAV file this reader can decode.
    WavReader(std::unique_ptr<ByteSource> source, const std::string& name);

    size_t read(double* out, size_t frames) override;
    using AudioReader::read;

    WavSample sample() const { return sample_; }
    // The data chunk claims more frames than the file holds: frames() counts
    // only those present.
    bool truncated() const { return truncated_; }

private:
    void parse_fmt(const unsigned char* p, uint32_t size);

    std::unique_ptr<ByteSource> source_;
    WavSample sample_ = WavSample::Pcm16;
    int block_align_ = 0;
    int64_t left_ = 0; // frames still to read
    bool truncated_ = false;
    std::vector<unsigned char> bytes_;
};

class WavWriter : public AudioWriter {
public:
    // Creates the file at once; throws with the system's reason.
    WavWriter(const std::string& path, int rate, int channels,
              WavSample sample = WavSample::Float32);
    ~WavWriter() override;
    void write(const float* interleaved, size_t frames) override;
    void finish() override;

private:
    void header(uint32_t data_bytes);

    std::string path_;
    std::FILE* file_ = nullptr;
    int rate_;
    WavSample sample_;
    uint64_t data_bytes_ = 0;
    std::vector<unsigned char> bytes_;
};

// A float sample as a signed integer of `bits` bits: scaled by 2^(bits-1),
// rounded to nearest, clipped; NaN gives 0. Integer files written by us read
// back exactly for samples k / 2^(bits-1).
int32_t float_to_pcm(float x, int bits);

} // namespace rampart
