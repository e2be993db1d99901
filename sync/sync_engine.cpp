#include "sync/sync_engine.h"

SyncEngine::SyncEngine() {
    DWORD n = GetCurrentDirectoryA(sizeof settings.startDir, settings.startDir);
    if (n == 0 || n >= sizeof settings.startDir) settings.startDir[0] = '\0';

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    settings.osVersion5OrLater = GetVersionExA(&version) && version.dwMajorVersion >= 5;
}

void SyncEngine::showCaption(const char* text) const {
    if (captionSink)
        captionSink->HandCaption(text);
    else if (settings.windowHandle)
        SendMessageA(settings.windowHandle, WM_USER, reinterpret_cast<WPARAM>(text), 0);
}
