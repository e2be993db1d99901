// The demo's managed application: records that it was started (working
// directory and arguments into "demoapp-started.txt" there), shows a small
// window for a few seconds and ends.
#include <windows.h>
#include <cstdio>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        const char text[] = "Демо-приложение запущено после синхронизации";
        TextOutA(dc, 20, 30, text, sizeof text - 1);
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_TIMER || message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void recordStart(const char* arguments) {
    char cwd[1024];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    if (FILE* f = std::fopen("demoapp-started.txt", "w")) {
        std::fprintf(f, "%s\n%s\n", cwd, arguments);
        std::fclose(f);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    recordStart(arguments);
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "tolvaren.demoapp";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "ДАРВ Клиент (демо)", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, 420, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    SetTimer(window, 1, 4000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
