// Compiled as a framework file is (the layers test builds it on demand): a
// framework file must not see the plug-in's headers, so this must not build.
#include "QZ_Main_Vst.h"
