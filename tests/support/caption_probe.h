// A message-only window that records the status captions a run sends with
// WM_USER, in order; the window goes with the probe.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace test {

class CaptionProbe {
public:
    CaptionProbe();
    ~CaptionProbe();
    CaptionProbe(const CaptionProbe&) = delete;
    CaptionProbe& operator=(const CaptionProbe&) = delete;

    HWND window() const { return window_; }  // null when it could not be created
    const std::vector<std::string>& captions() const { return captions_; }

private:
    static LRESULT CALLBACK procedure(HWND w, UINT m, WPARAM wp, LPARAM lp);

    std::vector<std::string> captions_;
    HWND window_ = nullptr;
};

}  // namespace test
