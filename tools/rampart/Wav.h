#pragma once
// RIFF WAVE reading and writing of our own, the same code in both builds.
#include "AudioFile.h"
#include "Platform.h"

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

// A file read from its start to its end, once: "-" is standard input.
class FileSource : public ByteSource {
public:
    // Throws Error with the system's reason, or when `path` is a folder.
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    size_t read(void* out, size_t bytes) override;
    bool skip(uint64_t bytes) override;
    int64_t remaining() const override { return left_; }

    // The next bytes without consuming them: read() hands them out again.
    // Up to 64 bytes.
    size_t peek(unsigned char* out, size_t bytes);
    std::FILE* file() { return file_; }
    // A regular file, which may be read again from its start, at `start()`.
    bool regular() const { return size_ >= 0; }
    int64_t start() const { return start_; }
    const std::optional<FileIdentity>& identity() const { return identity_; }

private:
    std::FILE* file_;
    bool owned_;
    int64_t size_, start_ = 0, left_;
    std::optional<FileIdentity> identity_;
    unsigned char peeked_[64];
    size_t peeked_size_ = 0, peeked_pos_ = 0;
};

// Opens a file for reading; throws with the system's reason.
std::unique_ptr<FileSource> open_file_source(const std::string& path);

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
    // An RF64 file (sizes past 4 GiB in its ds64 chunk).
    bool rf64() const { return rf64_; }

private:
    void parse_fmt(const unsigned char* p, uint32_t size);

    std::unique_ptr<ByteSource> source_;
    WavSample sample_ = WavSample::Pcm16;
    int block_align_ = 0;
    int64_t left_ = 0; // frames still to read
    bool truncated_ = false;
    bool rf64_ = false;
    std::vector<unsigned char> bytes_;
};

class WavWriter : public AudioWriter {
public:
    // Creates the file at once; throws with the system's reason.
    WavWriter(const std::string& path, int rate, int channels,
              WavSample sample = WavSample::Float32);
    // Writes into an open file from where it stands, and leaves it open.
    WavWriter(std::FILE* file, const std::string& name, int rate, int channels,
              WavSample sample = WavSample::Float32);
    ~WavWriter() override;
    void write(const float* interleaved, size_t frames) override;
    void finish() override;

private:
    void header(uint32_t data_bytes);

    std::string path_;
    std::FILE* file_ = nullptr;
    bool owned_ = true;
    long start_ = 0;
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
