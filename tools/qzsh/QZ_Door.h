#pragma once
// The shell's door: what a typed command may hand the framework. Handlers
// trust the handles they are given (the plug-in gives only handles it made),
// so every handle a line holds is checked here, before the interpreter runs
// it, against the live objects and the class the option expects.
#include "QZ_Object.h"

#include <string>
#include <string_view>

namespace qz::door {

// What an option takes, as far as the shell can check it.
enum class Arg {
    Unknown, // an option the shell has no entry for: no value is let through
    Number,  // integer, real or hex number; a text's pointer is no number
    Text,    // a word of text: names, keywords
    Any,     // ignored, or compared and never followed
    Buffer,  // a live QZ_Buffer, or 0
    Effect,  // a live QZ_Effect, or 0
    Null,    // a pointer no command makes (window, function, bound value): only 0
};

// The kind of value the option of that name takes, found as the interpreter
// finds the option: in the descriptor, then in its ancestors.
Arg argument(const QZ_Entry* descriptor, std::string_view option);

// Whether the object is of the class of that descriptor or derives from it;
// o must be live.
bool is_a(const QZ_Object* o, const QZ_Entry* descriptor);

// The class name of a descriptor in the class table, or "?".
const char* class_name(const QZ_Entry* descriptor);

// Why the line must not run, as "reason 'word'", or empty when every handle
// it gives names a live object of a fitting class. Lines the interpreter
// itself refuses (unknown class or option, malformed words) are left to it.
std::string check(const std::string& line);

} // namespace qz::door
