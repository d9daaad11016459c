#include "QZ_Value.h"

extern "C" {
constinit const QZ_value QZ_EMPTY(0, QZ_value::NONE, -1);
}
