#include "Wav.h"

#include "Error.h"
#include "Platform.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace rampart {

namespace {

uint16_t u16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t u32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void put16(std::vector<unsigned char>& v, uint32_t x) {
    v.push_back(static_cast<unsigned char>(x));
    v.push_back(static_cast<unsigned char>(x >> 8));
}
void put32(std::vector<unsigned char>& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
void put_id(std::vector<unsigned char>& v, const char* id) {
    v.insert(v.end(), id, id + 4);
}

// The tail every standard WAVE_FORMAT_EXTENSIBLE sub-format GUID shares.
constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr uint16_t kTagPcm = 1, kTagFloat = 3, kTagExtensible = 0xFFFE;
constexpr int kMaxChannels = 1024;
constexpr uint32_t kMaxRate = 4'000'000;
// Bytes decoded per pass: the reader's memory stays fixed whatever the file.
constexpr size_t kChunkBytes = 1 << 16;

} // namespace

size_t MemorySource::read(void* out, size_t bytes) {
    size_t n = std::min(bytes, size_ - pos_);
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return n;
}

bool MemorySource::skip(uint64_t bytes) {
    if (bytes > size_ - pos_) {
        pos_ = size_;
        return false;
    }
    pos_ += static_cast<size_t>(bytes);
    return true;
}

FileSource::FileSource(const std::string& path) : owned_(path != "-") {
    const std::string name = input_name(path);
    std::error_code ec;
    // fopen opens a folder on some systems, and its reads then fail oddly.
    if (owned_ && std::filesystem::is_directory(path, ec))
        throw Error(path + " is a folder, not an audio file");
    file_ = owned_ ? std::fopen(path.c_str(), "rb") : binary_stdin();
    if (!file_) throw Error("cannot open " + path + ": " + std::strerror(errno));
    identity_ = identity_of(file_);
    size_ = left_ = file_size(file_);
    // Standard input may be a file read part-way already.
    long at = size_ >= 0 ? std::ftell(file_) : 0;
    if (at > 0) {
        start_ = at;
        left_ = std::max<int64_t>(0, size_ - at);
    }
}

FileSource::~FileSource() {
    if (owned_) std::fclose(file_);
}

size_t FileSource::peek(unsigned char* out, size_t bytes) {
    bytes = std::min(bytes, sizeof peeked_);
    while (peeked_size_ < bytes) {
        size_t n = std::fread(peeked_ + peeked_size_, 1, bytes - peeked_size_, file_);
        if (n == 0) break;
        peeked_size_ += n;
    }
    size_t n = std::min(bytes, peeked_size_ - peeked_pos_);
    std::memcpy(out, peeked_ + peeked_pos_, n);
    return n;
}

size_t FileSource::read(void* out, size_t bytes) {
    auto* to = static_cast<unsigned char*>(out);
    size_t from_peek = std::min(bytes, peeked_size_ - peeked_pos_);
    std::memcpy(to, peeked_ + peeked_pos_, from_peek);
    peeked_pos_ += from_peek;
    size_t n = from_peek + std::fread(to + from_peek, 1, bytes - from_peek, file_);
    if (left_ >= 0) left_ -= static_cast<int64_t>(std::min<uint64_t>(n, left_));
    return n;
}

bool FileSource::skip(uint64_t bytes) {
    size_t from_peek = static_cast<size_t>(std::min<uint64_t>(bytes, peeked_size_ - peeked_pos_));
    peeked_pos_ += from_peek;
    bytes -= from_peek;
    if (left_ >= 0) {
        left_ -= static_cast<int64_t>(std::min<uint64_t>(from_peek, left_));
        if (static_cast<uint64_t>(left_) < bytes) return false;
        left_ -= static_cast<int64_t>(bytes);
        // fseek takes a long, 32 bits on Windows.
        while (bytes > 0) {
            long step = static_cast<long>(std::min<uint64_t>(bytes, 1u << 30));
            if (std::fseek(file_, step, SEEK_CUR) != 0) return false;
            bytes -= static_cast<uint64_t>(step);
        }
        return true;
    }
    unsigned char sink[4096];
    while (bytes > 0) {
        size_t step = static_cast<size_t>(std::min<uint64_t>(bytes, sizeof sink));
        if (std::fread(sink, 1, step, file_) != step) return false;
        bytes -= step;
    }
    return true;
}

std::unique_ptr<FileSource> open_file_source(const std::string& path) {
    return std::make_unique<FileSource>(path);
}

int bytes_per_sample(WavSample s) {
    switch (s) {
    case WavSample::Pcm8:
        return 1;
    case WavSample::Pcm16:
        return 2;
    case WavSample::Pcm24:
        return 3;
    case WavSample::Pcm32:
        return 4;
    case WavSample::Float32:
        return 4;
    case WavSample::Float64:
        return 8;
    }
    return 0;
}

// --- reading ---------------------------------------------------------------

WavReader::WavReader(std::unique_ptr<ByteSource> source, const std::string& name)
    : source_(std::move(source)) {
    name_ = name;
    if (auto* file = dynamic_cast<FileSource*>(source_.get())) identity_ = file->identity();
    auto fail = [&](const std::string& why) { throw Error(name + ": " + why); };

    unsigned char head[12];
    if (source_->read(head, 12) < 12) fail("not a WAV file (too short for a RIFF header)");
    if (std::memcmp(head, "RIFX", 4) == 0) fail("big-endian (RIFX) WAV files are not supported");
    rf64_ = std::memcmp(head, "RF64", 4) == 0;
    if ((!rf64_ && std::memcmp(head, "RIFF", 4) != 0) || std::memcmp(head + 8, "WAVE", 4) != 0)
        fail("not a WAV file (no RIFF/WAVE header)");

    bool have_fmt = false, have_ds64 = false;
    uint64_t ds64_data = 0; // the data chunk's size in an RF64 file
    for (;;) {
        unsigned char chunk[8];
        if (source_->read(chunk, 8) < 8) fail(have_fmt ? "no data chunk" : "no fmt chunk");
        uint64_t size = u32(chunk + 4);
        if (rf64_ && !have_ds64) {
            // Its sizes past 32 bits come first, in the ds64 chunk.
            if (std::memcmp(chunk, "ds64", 4) != 0) fail("RF64 file without a ds64 chunk first");
            if (size < 28) fail("ds64 chunk too short (" + std::to_string(size) + " bytes)");
            unsigned char ds64[28];
            if (source_->read(ds64, 28) < 28) fail("ds64 chunk cut short");
            ds64_data = u32(ds64 + 8) | static_cast<uint64_t>(u32(ds64 + 12)) << 32;
            have_ds64 = true;
            if (!source_->skip(size - 28 + (size & 1))) fail("no fmt chunk");
            continue;
        }
        bool data = std::memcmp(chunk, "data", 4) == 0;
        if (rf64_ && size == 0xFFFFFFFF) {
            if (!data)
                fail("RF64 chunk '" + std::string(reinterpret_cast<char*>(chunk), 4) +
                     "' with its size in the ds64 table is not supported");
            size = ds64_data;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (have_fmt) fail("two fmt chunks");
            if (size < 16) fail("fmt chunk too short (" + std::to_string(size) + " bytes)");
            unsigned char fmt[40] = {};
            uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(size, sizeof fmt));
            if (source_->read(fmt, take) < take) fail("fmt chunk cut short");
            parse_fmt(fmt, take);
            have_fmt = true;
            if (!source_->skip(size - take + (size & 1))) fail("no data chunk");
        } else if (data) {
            if (!have_fmt) fail("data chunk before the fmt chunk");
            uint64_t frames = size / static_cast<uint32_t>(block_align_);
            int64_t present = source_->remaining();
            if (present >= 0 && static_cast<uint64_t>(present) < size) {
                frames = static_cast<uint64_t>(present) / static_cast<uint32_t>(block_align_);
                truncated_ = true;
            }
            frames_ = left_ = static_cast<int64_t>(std::min<uint64_t>(frames, INT64_MAX));
            return;
        } else if (!source_->skip(size + (size & 1))) {
            fail(have_fmt ? "no data chunk" : "no fmt chunk");
        }
    }
}

void WavReader::parse_fmt(const unsigned char* p, uint32_t size) {
    auto fail = [&](const std::string& why) { throw Error(name_ + ": " + why); };
    uint16_t tag = u16(p);
    uint32_t channels = u16(p + 2);
    uint32_t rate = u32(p + 4);
    uint32_t align = u16(p + 12);
    uint32_t bits = u16(p + 14);
    if (tag == kTagExtensible) {
        if (size < 40) fail("extensible fmt chunk too short");
        if (std::memcmp(p + 26, kGuidTail, sizeof kGuidTail) != 0)
            fail("unknown extensible sub-format");
        tag = u16(p + 24);
    }
    if (channels == 0) fail("fmt chunk gives 0 channels");
    if (channels > kMaxChannels) fail("too many channels (" + std::to_string(channels) + ")");
    if (rate == 0 || rate > kMaxRate)
        fail("sample rate " + std::to_string(rate) + " Hz is out of range");

    if (tag == kTagPcm) {
        if (bits == 0 || bits > 32)
            fail("unsupported PCM sample size (" + std::to_string(bits) + " bits)");
        // Narrower samples sit left-justified in whole bytes.
        static constexpr WavSample by_bytes[] = {WavSample::Pcm8, WavSample::Pcm16,
                                                 WavSample::Pcm24, WavSample::Pcm32};
        sample_ = by_bytes[(bits + 7) / 8 - 1];
    } else if (tag == kTagFloat) {
        if (bits == 32)
            sample_ = WavSample::Float32;
        else if (bits == 64)
            sample_ = WavSample::Float64;
        else
            fail("unsupported float sample size (" + std::to_string(bits) + " bits)");
    } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", tag);
        fail(std::string("unsupported format tag ") + hex +
             " (only PCM and IEEE float WAV files are read)");
    }
    uint32_t want = channels * static_cast<uint32_t>(bytes_per_sample(sample_));
    if (align != want)
        fail("block align " + std::to_string(align) + " does not match " +
             std::to_string(channels) + " channels of " +
             std::to_string(bytes_per_sample(sample_)) + " bytes");
    channels_ = static_cast<int>(channels);
    rate_ = static_cast<int>(rate);
    block_align_ = static_cast<int>(align);
}

size_t WavReader::read(double* out, size_t frames) {
    size_t want_total = static_cast<size_t>(std::min<int64_t>(left_, static_cast<int64_t>(frames)));
    size_t per_pass = std::max<size_t>(1, kChunkBytes / static_cast<size_t>(block_align_));
    size_t done = 0;
    while (done < want_total) {
        size_t n = std::min(want_total - done, per_pass);
        bytes_.resize(n * static_cast<size_t>(block_align_));
        size_t got = source_->read(bytes_.data(), bytes_.size());
        bool ended = got < bytes_.size();
        if (ended) {
            // The source ended early: keep the whole frames and stop.
            n = got / static_cast<size_t>(block_align_);
            truncated_ = true;
        }
        const unsigned char* p = bytes_.data();
        double* o = out + done * static_cast<size_t>(channels_);
        size_t count = n * static_cast<size_t>(channels_);
        switch (sample_) {
        case WavSample::Pcm8:
            for (size_t i = 0; i < count; ++i)
                o[i] = (p[i] - 128) / 128.0;
            break;
        case WavSample::Pcm16:
            for (size_t i = 0; i < count; ++i)
                o[i] = static_cast<int16_t>(u16(p + 2 * i)) / 32768.0;
            break;
        case WavSample::Pcm24:
            for (size_t i = 0; i < count; ++i) {
                const unsigned char* q = p + 3 * i;
                // Into the top of 32 bits, so the sign comes along.
                uint32_t u = static_cast<uint32_t>(q[0]) << 8 | static_cast<uint32_t>(q[1]) << 16 |
                             static_cast<uint32_t>(q[2]) << 24;
                o[i] = static_cast<int32_t>(u) / 2147483648.0;
            }
            break;
        case WavSample::Pcm32:
            for (size_t i = 0; i < count; ++i)
                o[i] = static_cast<int32_t>(u32(p + 4 * i)) / 2147483648.0;
            break;
        case WavSample::Float32:
            for (size_t i = 0; i < count; ++i) {
                uint32_t u = u32(p + 4 * i);
                float f;
                std::memcpy(&f, &u, 4);
                o[i] = f;
            }
            break;
        case WavSample::Float64:
            for (size_t i = 0; i < count; ++i) {
                uint64_t u = u32(p + 8 * i) | static_cast<uint64_t>(u32(p + 8 * i + 4)) << 32;
                double d;
                std::memcpy(&d, &u, 8);
                o[i] = d;
            }
            break;
        }
        done += n;
        left_ = ended ? 0 : left_ - static_cast<int64_t>(n);
        if (ended) break;
    }
    return done;
}

// --- writing ---------------------------------------------------------------

int32_t float_to_pcm(float x, int bits) {
    if (x != x) return 0;
    double scale = std::ldexp(1.0, bits - 1);
    double v = std::nearbyint(static_cast<double>(x) * scale);
    if (v >= scale) return static_cast<int32_t>(scale - 1);
    if (v < -scale) return static_cast<int32_t>(-scale);
    return static_cast<int32_t>(v);
}

namespace {
bool is_float(WavSample s) {
    return s == WavSample::Float32 || s == WavSample::Float64;
}
// Float files carry the 18-byte fmt chunk and a fact chunk, as non-PCM formats must.
uint32_t header_bytes(WavSample s) {
    return is_float(s) ? 58 : 44;
}
} // namespace

WavWriter::WavWriter(const std::string& path, int rate, int channels, WavSample sample)
    : path_(path), rate_(rate), sample_(sample) {
    channels_ = channels;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw Error("cannot create " + path + ": " + std::strerror(errno));
    header(0);
}

WavWriter::WavWriter(std::FILE* file, const std::string& name, int rate, int channels,
                     WavSample sample)
    : path_(name), file_(file), owned_(false), start_(std::ftell(file)), rate_(rate),
      sample_(sample) {
    channels_ = channels;
    if (start_ < 0) start_ = 0;
    header(0);
}

WavWriter::~WavWriter() {
    if (file_ && owned_) std::fclose(file_);
}

void WavWriter::header(uint32_t data_bytes) {
    std::vector<unsigned char> h;
    uint32_t bps = static_cast<uint32_t>(bytes_per_sample(sample_));
    uint32_t align = static_cast<uint32_t>(channels_) * bps;
    put_id(h, "RIFF");
    put32(h, header_bytes(sample_) - 8 + data_bytes + (data_bytes & 1));
    put_id(h, "WAVE");
    put_id(h, "fmt ");
    put32(h, is_float(sample_) ? 18 : 16);
    put16(h, is_float(sample_) ? kTagFloat : kTagPcm);
    put16(h, static_cast<uint32_t>(channels_));
    put32(h, static_cast<uint32_t>(rate_));
    put32(h, static_cast<uint32_t>(rate_) * align);
    put16(h, align);
    put16(h, bps * 8);
    if (is_float(sample_)) {
        put16(h, 0);
        put_id(h, "fact");
        put32(h, 4);
        put32(h, data_bytes / align);
    }
    put_id(h, "data");
    put32(h, data_bytes);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size())
        throw Error("cannot write " + path_ + ": " + std::strerror(errno));
}

void WavWriter::write(const float* in, size_t frames) {
    if (!file_) throw Error(path_ + ": written after it was finished");
    size_t count = frames * static_cast<size_t>(channels_);
    size_t bps = static_cast<size_t>(bytes_per_sample(sample_));
    uint64_t limit = 0xFFFFFFFFull - header_bytes(sample_);
    if (data_bytes_ + count * bps > limit - 1)
        throw Error(path_ + ": too long for a WAV file (its sizes are 32-bit)");
    bytes_.clear();
    bytes_.reserve(count * bps);
    for (size_t i = 0; i < count; ++i) {
        float x = in[i];
        switch (sample_) {
        case WavSample::Pcm8:
            bytes_.push_back(static_cast<unsigned char>(float_to_pcm(x, 8) + 128));
            break;
        case WavSample::Pcm16:
            put16(bytes_, static_cast<uint32_t>(float_to_pcm(x, 16)));
            break;
        case WavSample::Pcm24: {
            uint32_t u = static_cast<uint32_t>(float_to_pcm(x, 24));
            put16(bytes_, u & 0xFFFF);
            bytes_.push_back(static_cast<unsigned char>(u >> 16));
            break;
        }
        case WavSample::Pcm32:
            put32(bytes_, static_cast<uint32_t>(float_to_pcm(x, 32)));
            break;
        case WavSample::Float32: {
            uint32_t u;
            std::memcpy(&u, &x, 4);
            put32(bytes_, u);
            break;
        }
        case WavSample::Float64: {
            double d = x;
            uint64_t u;
            std::memcpy(&u, &d, 8);
            put32(bytes_, static_cast<uint32_t>(u));
            put32(bytes_, static_cast<uint32_t>(u >> 32));
            break;
        }
        }
    }
    if (std::fwrite(bytes_.data(), 1, bytes_.size(), file_) != bytes_.size())
        throw Error("cannot write " + path_ + ": " + std::strerror(errno));
    data_bytes_ += bytes_.size();
}

void WavWriter::finish() {
    if (!file_) return;
    auto data = static_cast<uint32_t>(data_bytes_);
    bool ok = true;
    if (data & 1) ok = std::fputc(0, file_) != EOF;
    ok = ok && std::fseek(file_, start_, SEEK_SET) == 0;
    if (ok) header(data);
    ok = ok && std::fflush(file_) == 0;
    int err = errno;
    if (owned_) ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) throw Error("cannot write " + path_ + ": " + std::strerror(err ? err : errno));
}

} // namespace rampart
