#include "splash/progress_bar.h"

WaveProgressBag::WaveProgressBag(HWND window_)
    : window(window_), strip(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kStripResource))) {
    if (strip) GetObjectA(strip.get(), sizeof stripInfo, &stripInfo);
    timerId = SetTimer(window, reinterpret_cast<UINT_PTR>(this), kPeriodMs, &WaveProgressBag::onTimer);
}

WaveProgressBag::~WaveProgressBag() {
    if (timerId) KillTimer(window, timerId);
}

int WaveProgressBag::nextOffset(int offset) {
    offset -= 3;
    return offset <= 0 ? 796 : offset;
}

int WaveProgressBag::Step() {
    offset = nextOffset(offset);
    // Only the band changes, and the strip covers it whole: drawn straight
    // into the window's DC. An invalidation would run a paint cycle of
    // several server round trips under Wine, 200 times a second, and that
    // cost a run that changes nothing about 4 % of its time.
    if (HDC dc = GetDC(window)) {
        Paint(dc);
        ReleaseDC(window, dc);
    }
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
