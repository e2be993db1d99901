// File-system calls answering as Windows does where Wine does not: a copy
// onto a read-only or hidden file, and a move over a read-only one, are
// refused with error 5, and a copied file
// takes its source's attributes; the free space and the source access check
// can be set to any answer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fsops/fs_calls.h"

namespace test {

class WindowsLikeCalls : public WindowsFileSystem {
public:
    DWORD attributesError = 0;  // non-zero: getFileAttributes fails with this code
    bool freeSpaceKnown = true;
    uint64_t freeBytes = 1ull << 40;
    std::vector<std::string> freeSpaceQueries;
    std::vector<std::pair<std::string, std::string>> narrowCopies;
    std::vector<std::pair<std::wstring, std::wstring>> wideCopies;
    std::mutex copiesLock;

    DWORD getFileAttributes(const char* path) override {
        if (attributesError) {
            SetLastError(attributesError);
            return INVALID_FILE_ATTRIBUTES;
        }
        return WindowsFileSystem::getFileAttributes(path);
    }
    BOOL copyFileA(const char* from, const char* to) override {
        {
            std::lock_guard<std::mutex> hold(copiesLock);  // copies run on several threads
            narrowCopies.emplace_back(from, to);
        }
        DWORD existing = GetFileAttributesA(to);
        if (refuses(existing)) return FALSE;
        if (!CopyFileA(from, to, FALSE)) return FALSE;
        SetFileAttributesA(to, GetFileAttributesA(from));
        return TRUE;
    }
    BOOL copyFileW(const wchar_t* from, const wchar_t* to) override {
        {
            std::lock_guard<std::mutex> hold(copiesLock);
            wideCopies.emplace_back(from, to);
        }
        DWORD existing = GetFileAttributesW(to);
        if (refuses(existing)) return FALSE;
        if (!CopyFileW(from, to, FALSE)) return FALSE;
        SetFileAttributesW(to, GetFileAttributesW(from));
        return TRUE;
    }
    // Windows refuses to replace a read-only file.
    BOOL moveReplacing(const wchar_t* from, const wchar_t* to) override {
        DWORD existing = GetFileAttributesW(to);
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return WindowsFileSystem::moveReplacing(from, to);
    }
    BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) override {
        freeSpaceQueries.push_back(dir);
        if (!freeSpaceKnown) {
            SetLastError(ERROR_NOT_READY);
            return FALSE;
        }
        free->QuadPart = freeBytes;
        return TRUE;
    }

private:
    static bool refuses(DWORD existing) {
        if (existing == INVALID_FILE_ATTRIBUTES) return false;
        if (!(existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) return false;
        SetLastError(ERROR_ACCESS_DENIED);
        return true;
    }
};

}  // namespace test
