#include "fsops/path_forms.h"

#include <windows.h>

#include "win/fixed_text.h"

bool widenAnsi(const char* text, std::wstring& wide) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return false;
    wide.assign(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n) != n) return false;
    wide.resize(static_cast<std::size_t>(n - 1));  // the terminator was counted
    return true;
}

std::string narrowAnsi(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string text(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr) != n) return std::string();
    text.resize(static_cast<std::size_t>(n - 1));  // the terminator was counted
    return text;
}

std::wstring toLongPath(const char* path, const std::wstring& startDir) {
    std::wstring wide;
    if (!widenAnsi(path, wide)) return std::wstring();

    std::wstring result;
    if (win::isDriveAbsolute(path))
        result = L"\\\\?\\" + wide;
    else if (win::isNetworkPath(path))
        result = L"\\\\?\\UNC\\" + wide.substr(2);
    else
        result = startDir + L"\\" + wide;  // relative paths keep the ordinary limit

    std::size_t dot = result.find(L"\\.\\");
    if (dot != std::wstring::npos) result.erase(dot, 2);
    return result;
}

bool onNetworkDrive(const char* dir) {
    if (win::isNetworkPath(dir)) return true;
    char full[1024];
    DWORD n = GetFullPathNameA(dir, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full || !win::isDriveAbsolute(full)) return false;
    const char root[] = {full[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_REMOTE;
}
