#include "support/caption_probe.h"

namespace test {

namespace {
const char* const kClassName = "TolvarenCaptionProbe";
}

CaptionProbe::CaptionProbe() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);  // fails harmlessly when a probe registered it before
    window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CaptionProbe::~CaptionProbe() {
    if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK CaptionProbe::procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_USER) return DefWindowProcA(w, m, wp, lp);
    if (auto* probe = reinterpret_cast<CaptionProbe*>(GetWindowLongPtrA(w, GWLP_USERDATA)))
        probe->captions_.push_back(reinterpret_cast<const char*>(wp));
    return 0;
}

}  // namespace test
