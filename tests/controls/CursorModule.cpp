// A module that carries a cursor and says, in its process's environment, whenever its code runs:
// the tests take cursors from it and check that it never did.
#include "framework/Platform.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ::SetEnvironmentVariableA("TESSEL_CURSOR_MODULE_RAN", "1");
    return TRUE;
}
