// The Windows build has no libsndfile: WAV only, through our own code.
#include "AudioFile.h"
#include "Error.h"
#include "Wav.h"

namespace rampart {

std::unique_ptr<AudioReader> open_audio_reader(const std::string& path) {
    if (!file_is_wav(path))
        throw Error(path + ": not a WAV file (the Windows build reads WAV only)");
    return std::make_unique<WavReader>(open_file_source(path), path);
}

OutputFormat output_format_for(const std::string& path) {
    std::string ext = extension_of(path);
    if (ext == ".wav") return OutputFormat::Wav;
    if (ext == ".flac")
        throw Error("cannot write " + path + ": the Windows build writes WAV only (use .wav)");
    throw Error("cannot tell the output format from " + path + ": name it .wav");
}

std::unique_ptr<AudioWriter> open_audio_writer(const std::string& path, OutputFormat, int rate,
                                               int channels) {
    return std::make_unique<WavWriter>(path, rate, channels, WavSample::Float32);
}

const char* audio_formats_note() {
    return "Reads WAV (PCM 8/16/24/32-bit, float 32/64-bit). Writes 32-bit float WAV;\n"
           "this Windows build writes no FLAC.";
}

} // namespace rampart
