#include "QZ_Application.h"
#include "QZ_Apptpl.h"
#include "QZ_cfuncs.h"

#include <windows.h>

// The library's load routine: remembers the module for resource lookups and
// starts the framework.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    hInstance = instance;
    if (reason == DLL_PROCESS_ATTACH) {
        QZ_initall();
        QZ_Application::start();
    } else if (reason == DLL_PROCESS_DETACH) {
        QZ_Application::end();
    }
    return TRUE;
}
