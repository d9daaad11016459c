#pragma once
// Bodies shared by option handlers: apply a value if one is given, answer the
// current one.
#include "QZ_Math.h"
#include "QZ_Shared.h"
#include "QZ_Value.h"

#include <cstring>

namespace qz {

// A handle kept as a pointer, unchecked.
template <class T> QZ_value handle_option(T*& field, const QZ_value& v) {
    if (v.present()) field = v.asPtr<T>();
    return QZ_value::handle(field);
}

// The value as a number: a float converted, anything else taken as an integer.
inline float as_real(const QZ_value& v) {
    return v.type == QZ_value::FLOAT ? v.asFloat() : float(v.asInt());
}
inline int32_t as_whole(const QZ_value& v) {
    return v.type == QZ_value::FLOAT ? trunc32(v.asFloat()) : v.asInt();
}
// What a handler answers when it refuses the value it was given: nothing is
// applied, and the interpreter reports the reason as it reports a bad option.
// Type 0 is never a query's answer, so it cannot be mistaken for one.
inline QZ_value refused(const char* why) {
    return QZ_value(reinterpret_cast<uintptr_t>(why), QZ_value::DISCARD);
}
inline bool is_refusal(const QZ_value& v) {
    return v.type == QZ_value::DISCARD;
}

// A count or a length: an integer as it is, a real truncated toward zero, a
// hex word as its 32 bits. False for a text: its pointer's bits are no count.
inline bool whole_value(const QZ_value& v, int32_t& n) {
    switch (v.type) {
    case QZ_value::INT:
        n = v.asInt();
        return true;
    case QZ_value::FLOAT:
        n = trunc32(v.asFloat());
        return true;
    case QZ_value::HANDLE:
        if (v.value > 0xFFFFFFFFu) return false;
        n = v.asInt();
        return true;
    default:
        return false;
    }
}

inline bool whole_value(const QZ_value& v, Shared<int32_t>& field) {
    int32_t n = 0;
    if (!whole_value(v, n)) return false;
    field = n;
    return true;
}

// The value as a double: a float widened, an integer kept whole.
inline double as_number(const QZ_value& v) {
    return v.type == QZ_value::FLOAT ? double(v.asFloat()) : double(v.asInt());
}

// A keyword of names[0 .. count) selects its index, searched from the last;
// any other value leaves the field. Answers the current keyword.
template <class F>
QZ_value keyword_option(F& field, const char* const* names, int32_t count, const QZ_value& v) {
    if (v.type == QZ_value::TEXT && v.asText()) {
        for (int32_t k = count - 1; k >= 0; --k)
            if (std::strcmp(v.asText(), names[k]) == 0) {
                field = k;
                break;
            }
    }
    const int32_t k = int32_t(field);
    return QZ_value::text(names[k >= 0 && k < count ? k : 0]);
}

} // namespace qz
