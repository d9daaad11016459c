// The entry point's other name, as older Linux hosts look it up. (The Windows
// library exports its other names through its module-definition file.)
#include "QZ_Main_Vst.h"

extern "C" QZ_ENTRY AEffect* vst_entry_main(audioMasterCallback host) __asm__("main");

AEffect* vst_entry_main(audioMasterCallback host) {
    return VSTPluginMain(host);
}
