// rampart.exe only hosts the DLL: the editor's picture needs the plug-in's
// own code in-process, which only the native rampart has.
#include "Shot.h"

#include "Error.h"

namespace rampart {

int shot_command(const std::vector<std::string>&, std::FILE*, std::FILE*) {
    throw Error("shot: saving the editor is available in the native build only "
                "(build/native/rampart)");
}

} // namespace rampart
