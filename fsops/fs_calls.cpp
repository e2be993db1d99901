#include "fsops/fs_calls.h"

HANDLE WindowsFileSystem::findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) {
    wchar_t wide[1024];
    if (!MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide, 1024)) return INVALID_HANDLE_VALUE;
    return FindFirstFileW(wide, data);
}

DWORD WindowsFileSystem::getFileAttributes(const char* path) { return GetFileAttributesA(path); }

BOOL WindowsFileSystem::copyFileA(const char* from, const char* to) { return CopyFileA(from, to, FALSE); }

BOOL WindowsFileSystem::copyFileW(const wchar_t* from, const wchar_t* to) { return CopyFileW(from, to, FALSE); }

BOOL WindowsFileSystem::freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) {
    return GetDiskFreeSpaceExA(dir, free, nullptr, nullptr);
}

FileSystemCalls& FileSystemCalls::real() {
    static WindowsFileSystem calls;
    return calls;
}
