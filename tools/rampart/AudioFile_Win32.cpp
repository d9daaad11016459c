// The Windows build has no libsndfile: WAV only, through our own code.
#include "AudioFile.h"
#include "Error.h"
#include "Wav.h"

namespace rampart {

std::unique_ptr<AudioReader> open_audio_reader(const std::string& path) {
    auto source = open_file_source(path);
    unsigned char head[12];
    size_t n = source->peek(head, sizeof head);
    if (!looks_like_wav(head, n))
        throw Error(input_name(path) + ": not a WAV file (the Windows build reads WAV only)");
    return std::make_unique<WavReader>(std::move(source), input_name(path));
}

OutputFormat output_format_for(const std::string& path) {
    std::string ext = extension_of(path);
    if (ext == ".wav" || path == "-") return OutputFormat::Wav;
    if (ext == ".flac")
        throw Error("cannot write " + path + ": the Windows build writes WAV only (use .wav)");
    throw UsageError("cannot tell the output format from " + path + ": name it .wav");
}

void check_output(const std::string&, OutputFormat, int, int) {}

std::unique_ptr<AudioWriter> open_audio_writer(std::FILE* file, const std::string& name,
                                               OutputFormat, int rate, int channels) {
    return std::make_unique<WavWriter>(file, name, rate, channels, WavSample::Float32);
}

std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat, int rate,
                                               int channels) {
    return std::make_unique<WavWriter>(path, rate, channels, WavSample::Float32);
}

const char* audio_formats_note() {
    return "Reads WAV and RF64 (PCM 8/16/24/32-bit, float 32/64-bit). Writes 32-bit float\n"
           "WAV; this Windows build writes no FLAC. \"-\" is standard input or output.";
}

} // namespace rampart
