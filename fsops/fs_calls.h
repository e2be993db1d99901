// The few file-system calls whose Windows answers Wine cannot produce
// (a listing refused, a copy refused on a read-only file, a full volume,
// a network error on the source). Tests replace them; everything else
// calls Windows directly.
#pragma once

#include <windows.h>

class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;
    // Listings are wide so that names the ANSI code page cannot hold are seen
    // as they are; the pattern is narrow text of the ANSI code page.
    virtual HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) {
        wchar_t wide[1024];
        if (!MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide, 1024)) return INVALID_HANDLE_VALUE;
        return FindFirstFileW(wide, data);
    }
    virtual DWORD getFileAttributes(const char* path) { return GetFileAttributesA(path); }
    virtual BOOL copyFileA(const char* from, const char* to) { return CopyFileA(from, to, FALSE); }
    virtual BOOL copyFileW(const wchar_t* from, const wchar_t* to) { return CopyFileW(from, to, FALSE); }
    virtual BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) {
        return GetDiskFreeSpaceExA(dir, free, nullptr, nullptr);
    }

    // The calls as Windows answers them.
    static FileSystemCalls& real() {
        static FileSystemCalls calls;
        return calls;
    }
};
