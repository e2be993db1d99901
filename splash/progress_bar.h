// The progress strip of the splash window: an endless wave that shows the
// program is alive, and a stand-in that draws nothing before the window exists.
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual int Step() = 0;
    virtual void SetValue(int value) = 0;
    virtual void Stop() = 0;
    virtual void Paint(HDC dc) = 0;
};

class StubProgressBar : public IProgressBar {
public:
    int Step() override { return 0; }
    void SetValue(int) override {}
    void Stop() override {}
    void Paint(HDC) override {}
};

// Slides the program's strip bitmap (resource 101) through a 428 x 3 band at
// y 19, 3 pixels per tick of a 5 ms timer.
class WaveProgressBag : public IProgressBar {
public:
    static constexpr int kStripResource = 101;
    static constexpr int kFirstOffset = 800;
    static constexpr int kBandLeft = 0, kBandTop = 19, kBandWidth = 428, kBandHeight = 3;
    static constexpr UINT kPeriodMs = 5;

    explicit WaveProgressBag(HWND window);
    ~WaveProgressBag() override;
    WaveProgressBag(const WaveProgressBag&) = delete;
    WaveProgressBag& operator=(const WaveProgressBag&) = delete;

    int Step() override;
    void SetValue(int) override {}
    void Stop() override;  // the ticks end
    void Paint(HDC dc) override;

    int Offset() const { return offset; }
    // The offset after a tick: down by 3, and back to 796 once it would reach 0.
    static int nextOffset(int offset);

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD);

    HWND window;
    win::UniqueBitmap strip;
    BITMAP stripInfo{};
    int offset = kFirstOffset;
    UINT_PTR timerId = 0;
    HDC windowDc = nullptr;        // held from creation to Stop
    win::UniqueMemoryDC memoryDc;  // declared last: released before the strip it holds
};
