#include <windows.h>

#include "app/options.h"
#include "app/run.h"

// WinMain's own argument string is not used: this runtime's start-up code
// compares its bytes as signed, so every Cyrillic letter counts as a blank
// and cuts both an unquoted program path and the INI name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    runTolvaren(instance, argumentTail(GetCommandLineA()));
    return 0;
}
