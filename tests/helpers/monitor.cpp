// Stands in for the companion monitor: a hidden top-level window of class
// MonitoringWindowClass; message 0x40A ends the program with code 40. It
// gives up by itself after a minute so no test leaves it behind.
#include <windows.h>

namespace {

constexpr UINT kQuit = WM_USER + 10;
constexpr UINT_PTR kGiveUpTimer = 1;

LRESULT CALLBACK monitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kQuit) {
        PostQuitMessage(40);
        return 0;
    }
    if (message == WM_TIMER && wParam == kGiveUpTimer) {
        PostQuitMessage(41);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = monitorProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MonitoringWindowClass";
    if (!RegisterClassA(&wc)) return 2;
    HWND window =
        CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 3;
    SetTimer(window, kGiveUpTimer, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
    return static_cast<int>(msg.wParam);
}
