#include "splash/splash_window.h"

#include <cstring>
#include <iostream>

#include "splash/picture_lookup.h"
#include "win/fixed_text.h"

namespace {

constexpr UINT_PTR kCaptionTimer = 1;    // repaints a caption handed over by the worker
constexpr UINT kCaptionHanded = WM_APP;  // the worker handed a caption; no frame is due yet

const COLORREF kBackgroundColour = RGB(12, 38, 61);
const int kIconResource = 200;

}  // namespace

SplashWindow::SplashWindow(HINSTANCE instance_, const char* iniPath) : instance(instance_) {
    GetPrivateProfileStringA("Оформление", "ФоноваяКартинка", "darv.exe#101", pictureSetting, sizeof pictureSetting,
                             iniPath);
    win::copyTextCut(this->iniPath, iniPath);
    progress = std::make_unique<StubProgressBar>();
    font.reset(CreateFontA(13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma"));
}

SplashWindow::~SplashWindow() {
    Settle();                  // a worker waiting for the window goes on without it
    if (window) StopWorker();  // WM_DESTROY never came: the worker must not outlive the window
    if (created && IsWindow(created)) {
        // Detached first: destroying it now must not post a second quit message.
        SetWindowLongPtrA(created, GWLP_USERDATA, 0);
        DestroyWindow(created);
    }
    window = created = nullptr;
    progress.reset();
    // The rest is released by the members: font, lock, brush, then the
    // memory DC before the bitmap selected into it, the picture, the stream.
}

bool SplashWindow::CreateWindowAndShow() {
    // A window that cannot be made stops the worker, which has been
    // listing meanwhile: nobody could see or stop the run.
    struct SettleAfter {
        SplashWindow& self;
        ~SettleAfter() {
            if (!self.created) self.gate->stop();
            self.Settle();
        }
    } settle{*this};
    // On a thread with a time limit: the share may not answer at all.
    loadBackgroundPictureWithin(iniPath, pictureSetting, kPictureLookupMs, background);
    brush.reset(CreateSolidBrush(kBackgroundColour));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &SplashWindow::windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = brush.get();
    wc.lpszClassName = kClassName;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        std::cerr << "Ошибка " << GetLastError() << " регистрации класса окна \"" << kClassName << "\"" << std::endl;
        return false;
    }

    width = background.size.bmWidth;
    height = background.size.bmHeight;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, WS_POPUP, FALSE, 0);
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    HWND hwnd = CreateWindowExA(0, kClassName, title, WS_POPUP, x, y, outer.right, outer.bottom, nullptr, nullptr,
                                instance, this);
    if (!hwnd) {
        std::cerr << "Ошибка " << GetLastError() << " создания окна \"" << kClassName << "\"" << std::endl;
        window = nullptr;
        return false;
    }
    window = created = hwnd;
    // A class registered earlier in this process may still name a brush since deleted.
    SetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush.get()));
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    // The worker's close found no window yet: it was not posted.
    if (closeRequested) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return true;
}

void SplashWindow::Settle() {
    {
        std::lock_guard<std::mutex> hold(settleLock);
        settled = true;
    }
    settledChanged.notify_all();
}

HWND SplashWindow::ShownWindow() {
    std::unique_lock<std::mutex> hold(settleLock);
    settledChanged.wait(hold, [&] { return settled; });
    return window.load();
}

int SplashWindow::RunMessageLoop() {
    if (!created) return 0;  // no window: no quit message could ever come
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG msg{};
    while (GetMessageA(&msg, window, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Either the worker sees the window here or the main thread sees the flag
// once the window is made (both are sequentially consistent): a second
// WM_CLOSE finds the window gone and does nothing.
void SplashWindow::PostClose() {
    closeRequested = true;
    if (HWND w = window.load()) PostMessageA(w, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK SplashWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SplashWindow* self;
    if (message == WM_NCCREATE) {
        self = static_cast<SplashWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window = hwnd;
    } else {
        self = reinterpret_cast<SplashWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    return self ? self->handleMessage(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT SplashWindow::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        progress = std::make_unique<WaveProgressBag>(hwnd);
        std::lock_guard<std::mutex> hold(captionLock);
        // Handed before the window existed: no message could be posted.
        if (captionChanged) SetTimer(hwnd, kCaptionTimer, kCaptionFrameMs, nullptr);
        break;
    }
    case kCaptionHanded:
        SetTimer(hwnd, kCaptionTimer, kCaptionFrameMs, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam != kCaptionTimer) break;
        KillTimer(hwnd, kCaptionTimer);
        RepaintHandedCaption();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_USER:
        SetCaption(reinterpret_cast<const char*>(wParam));
        return 0;
    case WM_CHAR:
        if (wParam == 27) AbortRequest();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void SplashWindow::SetCaption(const char* text) {
    {
        std::lock_guard<std::mutex> hold(captionLock);
        win::copyTextCut(caption, text ? text : "");
        captionLength = static_cast<int>(std::strlen(caption));
    }
    RECT line{kCaptionX, kCaptionY, 3994, 36};
    RedrawWindow(created, &line, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// The first caption after a frame asks for the next one, a frame time
// later; those handed until then only replace the text. So the window
// wakes for captions at most once a frame, and not at all while none come
// (a run that finds nothing to copy).
void SplashWindow::HandCaption(const char* text) {
    bool first;
    {
        std::lock_guard<std::mutex> hold(captionLock);
        win::copyTextCut(caption, text ? text : "");
        captionLength = static_cast<int>(std::strlen(caption));
        first = !captionChanged;
        captionChanged = true;
    }
    if (first)
        if (HWND w = window.load()) PostMessageA(w, kCaptionHanded, 0, 0);
}

void SplashWindow::RepaintHandedCaption() {
    {
        std::lock_guard<std::mutex> hold(captionLock);
        if (!captionChanged) return;
        captionChanged = false;
    }
    RECT line{kCaptionX, kCaptionY, 3994, 36};
    InvalidateRect(created, &line, FALSE);
}

std::string SplashWindow::Caption() const {
    std::lock_guard<std::mutex> hold(captionLock);
    return std::string(caption, captionLength);
}
