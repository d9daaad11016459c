#pragma once
#include "QZ_Error.h"
#include "QZ_Export.h"
#include "QZ_Object.h"
#include "QZ_Value.h"

#include <cstdarg>

// The creation argument handed to a class's create operation: the plain text
// word after the class name, or null.
extern "C" {
QZ_EXPORT extern char* QZ_specialobject;
}

enum : int {
    QZ_TEXT_RESULT = 1, // results written as text into the result buffer
    QZ_STORE = 2,       // results stored through pointers taken from the arguments
};

// Runs one command. The text must be writable (values are NUL-terminated in
// place while their handler runs) and must outlive the objects it creates.
// In text-result mode *capacity is the buffer's size on entry and the result's
// length on success.
QZ_EXPORT QZ_error QZ_interpret(int flags, char* text, char* result, int* capacity, va_list args);

// Store mode: created objects and query results go through pointer arguments.
QZ_EXPORT QZ_error QZ_command(char* text, ...);

// Text-result mode.
QZ_EXPORT QZ_error QZ_command_text(char* text, char* result, int* capacity, ...);

namespace qz {

// The word automaton's verdict on one word.
enum WordState : int {
    W_HEX = 4,
    W_UNSIGNED = 5,
    W_SIGNED = 6,
    W_FLOAT = 7,
    W_TEXT = 11,
};

// Classifies the word starting at p, ended by a blank or the end of the text;
// *end receives the separator's position.
int classify(const char* p, const char** end);

} // namespace qz
