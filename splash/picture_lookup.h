// The background picture looked for on a thread of its own, waited for a
// limited time: a share that does not answer must not keep the window from
// appearing (nor Esc from reaching the program). A file request cannot be
// cancelled, so a lookup that comes too late finishes, or hangs, on state of
// its own that nothing else touches, and what it found is dropped.
#pragma once

#include <windows.h>

#include "splash/background_picture.h"

// About the longest a start-up waits for the source directory before the window.
constexpr DWORD kPictureLookupMs = 1500;

// findBackgroundPicture run on another thread and waited for up to limitMs,
// then finishBackgroundPicture here: the very outcome of both when the
// lookup is done in time, else the built-in look (no picture, 420 x 400).
// Decoding the image is not timed: it reads no file. Without a thread the
// lookup runs here, unlimited.
void loadBackgroundPictureWithin(const char* iniPath, const char* setting, DWORD limitMs, BackgroundPicture& picture);
