#include "QZ_Error.h"

#include <atomic>
#include <cstdio>

namespace {
// Arrays, not literals, so that no other equal text can share an address.
const char m_ok[] = "Operation OK";
const char m_unknown[] = "Unknown error";
const char m_file_open[] = "Cannot open file";
const char m_file_read[] = "Cannot read file";
const char m_file_close[] = "Cannot close file";
const char m_mem_alloc[] = "Cannot allocate memory";
const char m_mem_realloc[] = "Cannot re-allocate memory";
const char m_mem_free[] = "Cannot free memory";
const char m_param[] = "Argument required";
const char m_res_load[] = "Cannot load resource";
const char m_res_find[] = "Cannot find resource";
const char m_res_lock[] = "Cannot lock resource";
const char m_audio[] = "Audio operating error";
const char m_audio_open[] = "Cannot open audio device";
const char m_audio_in_stop[] = "Cannot stop input audio device";
const char m_audio_in_close[] = "Cannot close input audio device";
const char m_audio_out_reset[] = "Cannot reset output audio device";
const char m_audio_out_close[] = "Cannot close output audio device";
const char m_cmd_found[] = "Command not found";
const char m_cmd_param[] = "Param not found";
const char m_cmd_space[] = "Not enough space for command result";
} // namespace

extern "C" {
const char* const QZ_OK = m_ok;
const char* const QZ_ERROR_UNKNOWN = m_unknown;
const char* const QZ_ERROR_FILE_CANNOT_OPEN = m_file_open;
const char* const QZ_ERROR_FILE_CANNOT_READ = m_file_read;
const char* const QZ_ERROR_FILE_CANNOT_CLOSE = m_file_close;
const char* const QZ_ERROR_MEMORY_CANNOT_ALLOCATE = m_mem_alloc;
const char* const QZ_ERROR_MEMORY_CANNOT_REALLOC = m_mem_realloc;
const char* const QZ_ERROR_MEMORY_CANNOT_FREE = m_mem_free;
const char* const QZ_ERROR_PARAM_REQUIRED = m_param;
const char* const QZ_ERROR_RESOURCE_CANNOT_LOAD = m_res_load;
const char* const QZ_ERROR_RESOURCE_CANNOT_FIND = m_res_find;
const char* const QZ_ERROR_RESOURCE_CANNOT_LOCK = m_res_lock;
const char* const QZ_ERROR_AUDIO = m_audio;
const char* const QZ_ERROR_AUDIO_CANNOT_OPEN = m_audio_open;
const char* const QZ_ERROR_AUDIO_CANNOT_INPUT_STOP = m_audio_in_stop;
const char* const QZ_ERROR_AUDIO_CANNOT_INPUT_CLOSE = m_audio_in_close;
const char* const QZ_ERROR_AUDIO_CANNOT_OUTPUT_RESET = m_audio_out_reset;
const char* const QZ_ERROR_AUDIO_CANNOT_OUTPUT_CLOSE = m_audio_out_close;
const char* const QZ_ERROR_COMMAND_NOT_FOUND = m_cmd_found;
const char* const QZ_ERROR_COMMAND_NOT_PARAM = m_cmd_param;
const char* const QZ_ERROR_COMMAND_NOT_SPACE = m_cmd_space;
}

namespace qz {

const char* const* const error_codes[21] = {
    &QZ_OK,
    &QZ_ERROR_UNKNOWN,
    &QZ_ERROR_FILE_CANNOT_OPEN,
    &QZ_ERROR_FILE_CANNOT_READ,
    &QZ_ERROR_FILE_CANNOT_CLOSE,
    &QZ_ERROR_MEMORY_CANNOT_ALLOCATE,
    &QZ_ERROR_MEMORY_CANNOT_REALLOC,
    &QZ_ERROR_MEMORY_CANNOT_FREE,
    &QZ_ERROR_PARAM_REQUIRED,
    &QZ_ERROR_RESOURCE_CANNOT_LOAD,
    &QZ_ERROR_RESOURCE_CANNOT_FIND,
    &QZ_ERROR_RESOURCE_CANNOT_LOCK,
    &QZ_ERROR_AUDIO,
    &QZ_ERROR_AUDIO_CANNOT_OPEN,
    &QZ_ERROR_AUDIO_CANNOT_INPUT_STOP,
    &QZ_ERROR_AUDIO_CANNOT_INPUT_CLOSE,
    &QZ_ERROR_AUDIO_CANNOT_OUTPUT_RESET,
    &QZ_ERROR_AUDIO_CANNOT_OUTPUT_CLOSE,
    &QZ_ERROR_COMMAND_NOT_FOUND,
    &QZ_ERROR_COMMAND_NOT_PARAM,
    &QZ_ERROR_COMMAND_NOT_SPACE,
};

namespace {
std::atomic<ReportSink> sink{&show_report};
}

ReportSink set_report_sink(ReportSink s) {
    return sink.exchange(s ? s : &show_report);
}

} // namespace qz

namespace {
// One buffer for the whole framework; reports are rare and come from set-up paths.
char report_text[4096];

const char* or_empty(const char* s) {
    return s ? s : "";
}
} // namespace

extern "C" void QZ_error_func(const char* file, int line, const char* proc, const char* date,
                              const char* time, const char* message) {
    std::snprintf(report_text, sizeof report_text,
                  "Error: %s\nFile: %s\nLine: %d\nProc: %s\nDate: %s\nTime: %s", or_empty(message),
                  or_empty(file), line, or_empty(proc), or_empty(date), or_empty(time));
    qz::sink.load()("ERROR", report_text);
}
