#include <windows.h>

#include "app/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    runTolvaren(instance, arguments);
    return 0;
}
