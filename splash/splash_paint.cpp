// Painting of the splash window: the background composed once into a memory
// bitmap with its fixed texts, then the caption line and the progress band.
#include "splash/splash_window.h"

#include <cstring>

namespace {

const COLORREF kTitleColour = RGB(255, 255, 255);
const COLORREF kLabelColour = RGB(50, 103, 139);
const COLORREF kCaptionColour = RGB(157, 157, 156);
const int kTextRightEdge = 414;
const char kVersionText[] = "Версия 2";
const char kCopyrightText[] = "© 2024 tolvaren";

void drawRightAligned(HDC dc, const char* text, int y) {
    int n = static_cast<int>(std::strlen(text));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, n, &extent);
    TextOutA(dc, kTextRightEdge - extent.cx, y, text, n);
}

}  // namespace

void SplashWindow::Paint(HDC dc) {
    // Only what this paint uncovers: a caption or a tick of the strip is a thin band.
    RECT area{0, 0, width, height};
    if (GetClipBox(dc, &area) == ERROR) area = RECT{0, 0, width, height};
    if (!background.memoryDc) ComposeBackground(dc);
    if (background.memoryDc)
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, background.memoryDc.get(),
               area.left, area.top, SRCCOPY);
    else
        DrawFixedTexts(dc);  // no memory bitmap could be made: straight onto the window
    // A tick of the strip lies above the caption line. Drawing the caption
    // clipped away still costs a font selection, and under Wine each one
    // reads the X resource files again: hundreds of times a second.
    if (area.bottom > kCaptionY) PaintCaption(dc);
    progress->Paint(dc);
}

// Every source of background ends in one memory bitmap of the client size:
// the rendered picture, the module's bitmap, or the brush colour. Later
// paints only copy it, and the texts are never drawn over themselves.
bool SplashWindow::ComposeBackground(HDC dc) {
    RECT bounds{0, 0, width, height};
    win::UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (!memory) return false;
    if (background.picture || !background.bitmap) {
        win::UniqueBitmap canvas(CreateCompatibleBitmap(dc, width, height));
        if (!canvas) return false;
        SelectObject(memory.get(), canvas.get());
        if (background.picture) {
            OLE_XSIZE_HIMETRIC w = 0;
            OLE_YSIZE_HIMETRIC h = 0;
            background.picture->get_Width(&w);
            background.picture->get_Height(&h);
            background.picture->Render(memory.get(), 0, 0, width, height, 0, h, w, -h, &bounds);
        } else {
            FillRect(memory.get(), &bounds, brush.get());
        }
        background.memoryDc.reset();
        background.bitmap = std::move(canvas);
    } else {
        SelectObject(memory.get(), background.bitmap.get());
    }
    DrawFixedTexts(memory.get());
    background.memoryDc = std::move(memory);
    return true;
}

void SplashWindow::DrawFixedTexts(HDC target) {
    SetTextColor(target, kTitleColour);
    SetBkMode(target, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(target, font.get());
    drawRightAligned(target, title, height - 22);
    SetTextColor(target, kLabelColour);
    TextOutA(target, 15, 4, kVersionText, static_cast<int>(std::strlen(kVersionText)));
    drawRightAligned(target, kCopyrightText, 4);
    SelectObject(target, oldFont);
}

void SplashWindow::PaintCaption(HDC dc) {
    std::lock_guard<std::mutex> hold(captionLock);
    if (captionLength == 0) return;
    if (!background.memoryDc) {
        // Nothing to copy the background from: clear the whole caption line,
        // so no letter of a longer earlier caption stays behind.
        RECT line{kCaptionX, kCaptionY, width, 43};
        FillRect(dc, &line, brush.get());
    }
    SetTextColor(dc, kCaptionColour);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, font.get());
    TextOutA(dc, kCaptionX, kCaptionY, caption, captionLength);
    SelectObject(dc, oldFont);
}
