#include "QZ_Object.h"

// The class table: every class a command can name, in the table's fixed order.
extern "C" {
constinit const QZ_Class __QZ[] = {
    {"QZ_Object", QZ_Object::cls},
    {nullptr, nullptr},
};
}
