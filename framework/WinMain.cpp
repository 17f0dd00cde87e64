// The program's entry; linked into the program only, never into tests.
#include "App.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return RunApplication(hInstance, __argc, __argv);
}
