#include "QZ_Error.h"
#include "QZ_Resources.h"
#include "QZ_cfuncs.h"

#include <strings.h>

// The generated table stands in for the module's resource section; the
// reports are those of the Windows lookup.
const void* QZ_resource(const char* name) {
    if (!name) name = "";
    for (size_t i = 0; i < qz::resource_block_count; ++i)
        if (strcasecmp(qz::resource_blocks[i].name, name) == 0) return qz::resource_blocks[i].data;
    QZ_error_func(qz::resource_source, qz::resource_line_find, "QZ_resource", __DATE__, __TIME__,
                  name);
    return nullptr;
}
