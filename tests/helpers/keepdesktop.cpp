// Holds Wine's desktop open for a test session. Wine ends its desktop
// process when the last program that used it exits; a window program
// starting during that shutdown finds no display driver. ./dev starts this
// once per session, and the session's end (wineserver -k) stops it.
#include <windows.h>

int main() {
    HWND window = CreateWindowA("STATIC", "tolvaren keepdesktop", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
