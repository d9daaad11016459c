#pragma once
// Bodies shared by option handlers: apply a value if one is given, answer the
// current one.
#include "QZ_Math.h"
#include "QZ_Shared.h"
#include "QZ_Value.h"

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

} // namespace qz
