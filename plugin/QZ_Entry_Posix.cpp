// The entry point's other names, as Linux hosts look them up. (The Windows
// library exports them through its module-definition file.)
#include "QZ_Main_Vst.h"

extern "C" {
QZ_EXPORT AEffect* vst_entry_main(audioMasterCallback host) __asm__("main");
QZ_EXPORT AEffect* vst_entry_MAIN(audioMasterCallback host) __asm__("MAIN");
QZ_EXPORT AEffect* vst_entry_underscore(audioMasterCallback host) __asm__("_VSTPluginMain");
}

AEffect* vst_entry_main(audioMasterCallback host) { return VSTPluginMain(host); }
AEffect* vst_entry_MAIN(audioMasterCallback host) { return VSTPluginMain(host); }
AEffect* vst_entry_underscore(audioMasterCallback host) { return VSTPluginMain(host); }
