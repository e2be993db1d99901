// What the worker needs of the window it works under, so that the worker
// and the splash window meet here and neither includes the other.
#pragma once

#include <windows.h>

class WorkerWindow {
public:
    virtual ~WorkerWindow() = default;
    // The owner of the worker's questions; null before the window is made
    // and once it is gone.
    virtual HWND Window() const = 0;
    // The worker starts before its window is made (the listings need not
    // wait for the picture and the window): waits until the window has been
    // made or could not be, then as Window().
    virtual HWND ShownWindow() = 0;
    // Asks the window to close (the worker's last act); one not made yet
    // closes as soon as it is.
    virtual void PostClose() = 0;
};
