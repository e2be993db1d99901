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

HANDLE WindowsFileSystem::findFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* data) {
    return FindFirstFileW(pattern, data);
}

BOOL WindowsFileSystem::moveReplacing(const wchar_t* from, const wchar_t* to) {
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
}

HANDLE WindowsFileSystem::openForDeletion(const wchar_t* path) {
    return CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

namespace {

// Vista's call, looked up so that the program still starts without it.
using SetInformation = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
constexpr int kFileBasicInfo = 0, kFileDispositionInfo = 4;

struct BasicInfo {
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    DWORD attributes;
};

SetInformation setInformation() {
    static const SetInformation function = reinterpret_cast<SetInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    return function;
}

}  // namespace

BOOL WindowsFileSystem::deleteOpened(HANDLE item, DWORD attributes) {
    SetInformation set = setInformation();
    if (!set) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        BasicInfo basic{};  // zero times stay as they are
        basic.attributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? attributes & ~FILE_ATTRIBUTE_READONLY
                                                                     : FILE_ATTRIBUTE_NORMAL;
        set(item, kFileBasicInfo, &basic, sizeof basic);
    }
    BOOLEAN deleteIt = TRUE;
    return set(item, kFileDispositionInfo, &deleteIt, sizeof deleteIt);
}
