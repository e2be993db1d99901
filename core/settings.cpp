#include "core/settings.h"

void takeStartFacts(SettingsRecord& settings) {
    DWORD n = GetCurrentDirectoryA(sizeof settings.startDir, settings.startDir);
    if (n == 0 || n >= sizeof settings.startDir) settings.startDir[0] = '\0';

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    settings.osVersion5OrLater = GetVersionExA(&version) && version.dwMajorVersion >= 5;
}
