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
