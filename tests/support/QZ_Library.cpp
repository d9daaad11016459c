#include "QZ_Library.h"

#include "QZ_cfuncs.h"

namespace qz::test {

void use_plugin_resources() {
    static Library plugin(plugin_library_path());
    if (plugin.instance()) hInstance = plugin.instance();
}

} // namespace qz::test
