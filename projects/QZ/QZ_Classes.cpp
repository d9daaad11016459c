#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Object.h"
#include "QZ_Soundpipe.h"

// The class table: every class a command can name, in the table's fixed order.
extern "C" {
constinit const QZ_Class __QZ[] = {
    {"QZ_Object", QZ_Object::cls},
    {"QZ_Soundpipe", QZ_Soundpipe::cls},
    {"QZ_Buffer", QZ_Buffer::cls},
    {"QZ_Effect", QZ_Effect::cls},
    {nullptr, nullptr},
};
}
