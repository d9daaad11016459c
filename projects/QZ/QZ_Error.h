#pragma once
#include "QZ_Export.h"

// An error code is the address of one constant message; codes compare by identity.
typedef const char* QZ_error;

extern "C" {
QZ_EXPORT extern const char* const QZ_OK;
QZ_EXPORT extern const char* const QZ_ERROR_UNKNOWN;
QZ_EXPORT extern const char* const QZ_ERROR_FILE_CANNOT_OPEN;
QZ_EXPORT extern const char* const QZ_ERROR_FILE_CANNOT_READ;
QZ_EXPORT extern const char* const QZ_ERROR_FILE_CANNOT_CLOSE;
QZ_EXPORT extern const char* const QZ_ERROR_MEMORY_CANNOT_ALLOCATE;
QZ_EXPORT extern const char* const QZ_ERROR_MEMORY_CANNOT_REALLOC;
QZ_EXPORT extern const char* const QZ_ERROR_MEMORY_CANNOT_FREE;
QZ_EXPORT extern const char* const QZ_ERROR_PARAM_REQUIRED;
QZ_EXPORT extern const char* const QZ_ERROR_RESOURCE_CANNOT_LOAD;
QZ_EXPORT extern const char* const QZ_ERROR_RESOURCE_CANNOT_FIND;
QZ_EXPORT extern const char* const QZ_ERROR_RESOURCE_CANNOT_LOCK;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO_CANNOT_OPEN;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO_CANNOT_INPUT_STOP;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO_CANNOT_INPUT_CLOSE;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO_CANNOT_OUTPUT_RESET;
QZ_EXPORT extern const char* const QZ_ERROR_AUDIO_CANNOT_OUTPUT_CLOSE;
QZ_EXPORT extern const char* const QZ_ERROR_COMMAND_NOT_FOUND;
QZ_EXPORT extern const char* const QZ_ERROR_COMMAND_NOT_PARAM;
QZ_EXPORT extern const char* const QZ_ERROR_COMMAND_NOT_SPACE;

// Formats the six-line report into one static buffer and shows it.
QZ_EXPORT void QZ_error_func(const char* file, int line, const char* proc, const char* date,
                             const char* time, const char* message);
}

namespace qz {

// Every code in declaration order; the table the tests and tools walk.
extern const char* const* const error_codes[21];

// Where reports go. The default shows them the platform's way (a modal box on
// Windows, standard error elsewhere); tests install their own to read the text.
using ReportSink = void (*)(const char* caption, const char* text);
ReportSink set_report_sink(ReportSink sink);             // returns the previous sink
void show_report(const char* caption, const char* text); // the platform's own way

} // namespace qz

// Report at the calling site with its own file, line and build stamp.
#define QZ_REPORT(file, proc, message)                                                             \
    QZ_error_func(file, __LINE__, proc, __DATE__, __TIME__, message)
