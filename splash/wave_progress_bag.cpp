#include "splash/progress_bar.h"

// The window's DC is taken once for all ticks: under Wine each GetDC is a
// server round trip for the visible region, 200 times a second. Windows
// and Wine keep a held DC's visible region up to date as the window moves.
WaveProgressBag::WaveProgressBag(HWND window_)
    : window(window_),
      strip(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kStripResource))),
      windowDc(GetDC(window_)) {
    if (strip) GetObjectA(strip.get(), sizeof stripInfo, &stripInfo);
    timerId = SetTimer(window, reinterpret_cast<UINT_PTR>(this), kPeriodMs, &WaveProgressBag::onTimer);
}

WaveProgressBag::~WaveProgressBag() { Stop(); }

// While the window still exists (WM_DESTROY): its DC goes back then.
void WaveProgressBag::Stop() {
    if (timerId) KillTimer(window, timerId);
    timerId = 0;
    if (windowDc) ReleaseDC(window, windowDc);
    windowDc = nullptr;
}

int WaveProgressBag::nextOffset(int offset) {
    offset -= 3;
    return offset <= 0 ? 796 : offset;
}

int WaveProgressBag::Step() {
    offset = nextOffset(offset);
    // Only the band changes, and the strip covers it whole: drawn straight
    // into the window's DC, one BitBlt of its 428 x 3 pixels. An
    // invalidation would run a paint cycle of several server round trips
    // under Wine, 200 times a second, and that cost a run that changes
    // nothing about 4 % of its time.
    if (windowDc) Paint(windowDc);
    return 0;
}

void WaveProgressBag::Paint(HDC dc) {
    if (!memoryDc) {
        memoryDc.reset(CreateCompatibleDC(dc));
        if (!memoryDc) return;
        SelectObject(memoryDc.get(), strip.get());
    }
    BitBlt(dc, kBandLeft, kBandTop, kBandWidth, kBandHeight, memoryDc.get(), offset, 0, SRCCOPY);
}

void CALLBACK WaveProgressBag::onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    reinterpret_cast<WaveProgressBag*>(id)->Step();
}
