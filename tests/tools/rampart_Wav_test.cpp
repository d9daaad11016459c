#include "Error.h"
#include "Wav.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

namespace rampart {
namespace {

using test::contains;

// --- round trips through files ------------------------------------------------

struct Case {
    WavSample sample;
    int channels;
};

class WavRoundTrip : public testing::TestWithParam<Case> {};

int bits_of(WavSample s) {
    return 8 * bytes_per_sample(s);
}
bool is_float(WavSample s) {
    return s == WavSample::Float32 || s == WavSample::Float64;
}

// Samples the format holds exactly: multiples of its step for integers,
// arbitrary floats (negative zero and tiny values included) for float files.
std::vector<float> exact_samples(WavSample s, size_t count) {
    std::mt19937 rng(1234);
    std::vector<float> v(count);
    if (is_float(s)) {
        std::uniform_real_distribution<float> d(-1.5f, 1.5f);
        for (float& x : v)
            x = d(rng);
        v[0] = -0.0f;
        v[1] = 1e-30f;
        return v;
    }
    int bits = bits_of(s);
    int32_t top = static_cast<int32_t>((1ll << (bits - 1)) - 1);
    std::uniform_int_distribution<int32_t> d(-top - 1, top);
    for (float& x : v) {
        int32_t k = d(rng);
        if (bits == 32) k &= ~0xFF; // a float holds 24 significant bits
        x = static_cast<float>(std::ldexp(static_cast<double>(k), -(bits - 1)));
    }
    v[0] = -1.0f;
    v[1] = static_cast<float>(
        std::ldexp(static_cast<double>(top & (bits == 32 ? ~0xFF : ~0)), -(bits - 1)));
    return v;
}

TEST_P(WavRoundTrip, ReadsBackWhatWasWrittenBitForBit) {
    const Case c = GetParam();
    const size_t frames = 1001; // odd: 8- and 24-bit mono data need a pad byte
    std::vector<float> in = exact_samples(c.sample, frames * c.channels);
    std::string path = test::scratch_dir() + "/x.wav";
    {
        WavWriter w(path, 48000, c.channels, c.sample);
        w.write(in.data(), 600);
        w.write(in.data() + 600 * c.channels, frames - 600);
        w.finish();
    }
    uintmax_t data = frames * c.channels * bytes_per_sample(c.sample);
    EXPECT_EQ(std::filesystem::file_size(path), (is_float(c.sample) ? 58 : 44) + data + (data & 1));

    WavReader r(open_file_source(path), path);
    EXPECT_EQ(r.rate(), 48000);
    EXPECT_EQ(r.channels(), c.channels);
    EXPECT_EQ(r.frames(), static_cast<int64_t>(frames));
    EXPECT_EQ(r.sample(), c.sample);
    EXPECT_FALSE(r.truncated());
    std::vector<float> out(frames * c.channels + 8);
    ASSERT_EQ(r.read(out.data(), 700), 700u);
    ASSERT_EQ(r.read(out.data() + 700 * c.channels, 1000), frames - 700);
    EXPECT_EQ(r.read(out.data(), 10), 0u);
    EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(float)), 0);
}

std::string case_name(const testing::TestParamInfo<Case>& i) {
    static const char* names[] = {"Pcm8", "Pcm16", "Pcm24", "Pcm32", "Float32", "Float64"};
    return std::string(names[static_cast<int>(i.param.sample)]) + "x" +
           std::to_string(i.param.channels);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavRoundTrip,
                         testing::Values(Case{WavSample::Pcm8, 1}, Case{WavSample::Pcm16, 1},
                                         Case{WavSample::Pcm16, 2}, Case{WavSample::Pcm24, 1},
                                         Case{WavSample::Pcm24, 2}, Case{WavSample::Pcm32, 1},
                                         Case{WavSample::Pcm32, 2}, Case{WavSample::Float32, 1},
                                         Case{WavSample::Float32, 2}, Case{WavSample::Float64, 2},
                                         Case{WavSample::Pcm16, 5}),
                         case_name);

TEST(WavWriter, ClipsAndRoundsIntoIntegerSamples) {
    EXPECT_EQ(float_to_pcm(1.0f, 16), 32767);
    EXPECT_EQ(float_to_pcm(-1.0f, 16), -32768);
    EXPECT_EQ(float_to_pcm(-1.5f, 16), -32768);
    EXPECT_EQ(float_to_pcm(0.5f / 32768, 16), 0); // halfway: to even
    EXPECT_EQ(float_to_pcm(1.5f / 32768, 16), 2);
    EXPECT_EQ(float_to_pcm(NAN, 24), 0);
    EXPECT_EQ(float_to_pcm(1.0f, 32), 2147483647);
    EXPECT_EQ(float_to_pcm(-1.0f, 32), -2147483647 - 1);
    EXPECT_EQ(float_to_pcm(0.25f, 24), 1 << 21);
}

TEST(WavWriter, ReportsAFileItCannotCreate) {
    std::string path = test::scratch_dir() + "/no/such/dir/x.wav";
    try {
        WavWriter w(path, 44100, 1);
        FAIL() << "created " << path;
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.what(), "cannot create " + path)) << e.what();
    }
}

// --- hand-made headers ----------------------------------------------------------

// Bytes of a WAV file built chunk by chunk.
class Bytes {
public:
    Bytes& id(const char* s) { return raw(s, 4); }
    Bytes& u16(uint32_t v) { return put(v, 2); }
    Bytes& u32(uint32_t v) { return put(v, 4); }
    Bytes& raw(const void* p, size_t n) {
        auto* b = static_cast<const unsigned char*>(p);
        v_.insert(v_.end(), b, b + n);
        return *this;
    }
    Bytes& zeros(size_t n) {
        v_.insert(v_.end(), n, 0);
        return *this;
    }
    // "fmt " with the 16 common bytes.
    Bytes& fmt(uint32_t tag, uint32_t ch, uint32_t rate, uint32_t align, uint32_t bits,
               uint32_t size = 16) {
        id("fmt ").u32(size).u16(tag).u16(ch).u32(rate).u32(rate * align).u16(align).u16(bits);
        return zeros(size > 16 ? size - 16 : 0);
    }
    const std::vector<unsigned char>& get() const { return v_; }

private:
    Bytes& put(uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            v_.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    std::vector<unsigned char> v_;
};

Bytes riff() {
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE"); // the RIFF size is not trusted anyway
    return b;
}

std::vector<double> read_all(WavReader& r) {
    std::vector<double> v(static_cast<size_t>(r.frames()) * r.channels());
    EXPECT_EQ(r.read(v.data(), static_cast<size_t>(r.frames())), static_cast<size_t>(r.frames()));
    return v;
}

TEST(WavReader, SkipsOtherChunksAndTheirPadBytes) {
    Bytes b = riff();
    b.id("LIST").u32(7).raw("INFOabc", 7).zeros(1); // odd size: one pad byte
    b.fmt(1, 2, 22050, 4, 16, 18);                  // 18-byte fmt, as some writers make
    b.id("junk").u32(3).raw("xyz", 3).zeros(1);
    b.id("data").u32(8).u16(0x4000).u16(0xC000).u16(0x0001).u16(0xFFFF);
    b.id("LIST").u32(4).raw("tail", 4);
    auto v = b.get();
    WavReader r(std::make_unique<MemorySource>(v.data(), v.size()), "mem");
    EXPECT_EQ(r.rate(), 22050);
    EXPECT_EQ(r.channels(), 2);
    EXPECT_EQ(read_all(r), (std::vector<double>{0.5, -0.5, 1.0 / 32768, -1.0 / 32768}));
}

TEST(WavReader, ReadsExtensibleHeaders) {
    static const unsigned char pcm_guid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                               0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    Bytes b = riff();
    b.id("fmt ").u32(40).u16(0xFFFE).u16(1).u32(96000).u32(96000 * 3).u16(3).u16(24);
    b.u16(22).u16(24).u32(4).raw(pcm_guid, 16);
    b.id("data").u32(6).zeros(2).u16(0x80).u16(0x7FFF);
    auto v = b.get();
    WavReader r(std::make_unique<MemorySource>(v.data(), v.size()), "mem");
    EXPECT_EQ(r.rate(), 96000);
    EXPECT_EQ(r.sample(), WavSample::Pcm24);
    // 0x800000 is the most negative 24-bit value; 0x7FFF00 a large positive one.
    EXPECT_EQ(read_all(r), (std::vector<double>{-1.0, 0x7FFF00 / 8388608.0}));
}

// RF64: the sizes that do not fit 32 bits, the data chunk's above all, come
// from the ds64 chunk in front.
Bytes rf64(uint64_t data_bytes, uint32_t ds64_size = 28) {
    Bytes b;
    b.id("RF64").u32(0xFFFFFFFF).id("WAVE").id("ds64").u32(ds64_size);
    b.u32(0xFFFFFFFF).u32(0);                                       // RIFF size
    b.u32(static_cast<uint32_t>(data_bytes)).u32(data_bytes >> 32); // data size
    b.u32(0).u32(0).u32(0);                                         // sample count, table
    return b.zeros(ds64_size - 28);
}

TEST(WavReader, ReadsRf64) {
    Bytes b = rf64(8, 30);
    b.fmt(1, 2, 48000, 4, 16).id("data").u32(0xFFFFFFFF);
    b.u16(0x4000).u16(0xC000).u16(0x0001).u16(0xFFFF);
    auto v = b.get();
    WavReader r(std::make_unique<MemorySource>(v.data(), v.size()), "mem");
    EXPECT_TRUE(r.rf64());
    EXPECT_FALSE(r.truncated());
    EXPECT_EQ(r.frames(), 2);
    EXPECT_EQ(read_all(r), (std::vector<double>{0.5, -0.5, 1.0 / 32768, -1.0 / 32768}));

    // A data size past 4 GiB, with the file cut short after a frame.
    Bytes big = rf64(0x100000010ull);
    big.fmt(3, 1, 8000, 4, 32).id("data").u32(0xFFFFFFFF).u32(0x3F000000);
    v = big.get();
    WavReader cut(std::make_unique<MemorySource>(v.data(), v.size()), "mem");
    EXPECT_TRUE(cut.truncated());
    EXPECT_EQ(read_all(cut), (std::vector<double>{0.5}));
}

TEST(WavReader, CountsOnlyTheFramesACutFileHolds) {
    Bytes b = riff();
    b.fmt(3, 1, 44100, 4, 32).id("data").u32(4000);
    float x[3] = {0.25f, -0.5f, 0.75f};
    b.raw(x, sizeof x).zeros(2); // and half a frame
    auto v = b.get();
    WavReader r(std::make_unique<MemorySource>(v.data(), v.size()), "mem");
    EXPECT_TRUE(r.truncated());
    EXPECT_EQ(r.frames(), 3);
    EXPECT_EQ(read_all(r), (std::vector<double>{0.25, -0.5, 0.75}));
    double more;
    EXPECT_EQ(r.read(&more, 1), 0u);
}

struct Bad {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* message;
};

std::vector<Bad> bad_headers() {
    static const unsigned char odd_guid[16] = {0x01, 0, 0, 0,    0, 0,    0x10, 0,
                                               0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x72};
    std::vector<Bad> v;
    auto add = [&](const char* name, const Bytes& b, const char* message) {
        v.push_back({name, b.get(), message});
    };
    add("Empty", Bytes(), "not a WAV file (too short for a RIFF header)");
    add("Rifx", Bytes().id("RIFX").u32(0).id("WAVE"), "big-endian (RIFX)");
    add("Rf64WithoutDs64", Bytes().id("RF64").u32(0).id("WAVE").fmt(1, 1, 8000, 2, 16),
        "RF64 file without a ds64 chunk first");
    add("ShortDs64", Bytes().id("RF64").u32(0).id("WAVE").id("ds64").u32(20).zeros(20),
        "ds64 chunk too short (20 bytes)");
    add("Rf64SizeInTable", rf64(4).id("LIST").u32(0xFFFFFFFF).zeros(8),
        "RF64 chunk 'LIST' with its size in the ds64 table is not supported");
    add("NotWave", Bytes().id("RIFF").u32(4).id("AVI "), "not a WAV file (no RIFF/WAVE header)");
    add("NoChunks", riff(), "no fmt chunk");
    add("DataFirst", riff().id("data").u32(2).zeros(2).fmt(1, 1, 8000, 2, 16),
        "data chunk before the fmt chunk");
    add("NoData", riff().fmt(1, 1, 8000, 2, 16), "no data chunk");
    add("ShortFmt", riff().id("fmt ").u32(14).zeros(14), "fmt chunk too short (14 bytes)");
    add("CutFmt", riff().id("fmt ").u32(16).zeros(6), "fmt chunk cut short");
    add("TwoFmt", riff().fmt(1, 1, 8000, 2, 16).fmt(1, 1, 8000, 2, 16), "two fmt chunks");
    add("Adpcm", riff().fmt(2, 1, 8000, 2, 16).id("data").u32(0), "unsupported format tag 0x0002");
    add("NoChannels", riff().fmt(1, 0, 8000, 2, 16).id("data").u32(0),
        "fmt chunk gives 0 channels");
    add("ManyChannels", riff().fmt(1, 2000, 8000, 4000, 16).id("data").u32(0),
        "too many channels (2000)");
    add("NoRate", riff().fmt(1, 1, 0, 2, 16).id("data").u32(0), "sample rate 0 Hz is out of range");
    add("NoBits", riff().fmt(1, 1, 8000, 2, 0).id("data").u32(0),
        "unsupported PCM sample size (0 bits)");
    add("WideBits", riff().fmt(1, 1, 8000, 5, 40).id("data").u32(0),
        "unsupported PCM sample size (40 bits)");
    add("HalfFloat", riff().fmt(3, 1, 8000, 2, 16).id("data").u32(0),
        "unsupported float sample size (16 bits)");
    add("BadAlign", riff().fmt(1, 2, 8000, 2, 16).id("data").u32(0),
        "block align 2 does not match 2 channels of 2 bytes");
    add("ShortExtensible", riff().fmt(0xFFFE, 1, 8000, 2, 16, 18).id("data").u32(0),
        "extensible fmt chunk too short");
    add("OddGuid",
        riff()
            .id("fmt ")
            .u32(40)
            .u16(0xFFFE)
            .u16(1)
            .u32(8000)
            .u32(16000)
            .u16(2)
            .u16(16)
            .u16(22)
            .u16(16)
            .u32(0)
            .raw(odd_guid, 16)
            .id("data")
            .u32(0),
        "unknown extensible sub-format");
    add("HugeChunk", riff().id("LIST").u32(0xFFFFFFF0).zeros(8), "no fmt chunk");
    // The pad byte of the largest odd size must not wrap the skip to 0.
    add("LargestOddChunk",
        riff().id("LIST").u32(0xFFFFFFFF).fmt(1, 1, 8000, 2, 16).id("data").u32(0), "no fmt chunk");
    return v;
}

class WavReaderRejects : public testing::TestWithParam<Bad> {};

TEST_P(WavReaderRejects, WithAMessageNamingTheFile) {
    const Bad& b = GetParam();
    try {
        WavReader r(std::make_unique<MemorySource>(b.bytes.data(), b.bytes.size()), "in.wav");
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.what(), std::string("in.wav: ") + b.message)) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, WavReaderRejects, testing::ValuesIn(bad_headers()),
                         [](const testing::TestParamInfo<Bad>& i) { return i.param.name; });

TEST(AudioFiles, MissingInputIsReportedWithTheSystemsReason) {
    std::string path = test::scratch_dir() + "/missing.wav";
    try {
        open_audio_reader(path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.what(), "cannot open " + path + ": ")) << e.what();
    }
}

TEST(AudioFiles, OutputFormatComesFromTheExtension) {
    EXPECT_EQ(output_format_for("a/b.WAV"), OutputFormat::Wav);
    EXPECT_EQ(extension_of("dir.x/name"), "");
    EXPECT_EQ(extension_of("c:\\dir.x\\name.Flac"), ".flac");
    EXPECT_THROW(output_format_for("x.mp3"), Error);
    EXPECT_THROW(output_format_for("wav"), Error);
}

} // namespace
} // namespace rampart
