// The few file-system calls whose Windows answers Wine cannot produce
// (a listing refused, a copy refused on a read-only file, a full volume,
// a network error on the source). Tests replace them; everything else
// calls Windows directly.
#pragma once

#include <windows.h>

class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;
    virtual HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAA* data) {
        return FindFirstFileA(pattern, data);
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
