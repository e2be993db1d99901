// What the worker needs of the window it works under, so that the worker
// and the splash window meet here and neither includes the other.
#pragma once

#include <windows.h>

class WorkerWindow {
public:
    virtual ~WorkerWindow() = default;
    // The owner of the worker's questions; null once the window is gone.
    virtual HWND Window() const = 0;
    // Asks the window to close (the worker's last act).
    virtual void PostClose() = 0;
};
