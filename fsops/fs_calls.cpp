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

// FileBasicInfo and FileDispositionInfo as SetFileInformationByHandle takes
// them (Vista); before Vista the same records go to NtSetInformationFile
// under their native classes.
constexpr int kFileBasicInfo = 0, kFileDispositionInfo = 4;
constexpr int kNativeBasic = 4, kNativeDisposition = 13;

struct BasicInfo {
    LARGE_INTEGER creation, lastAccess, lastWrite, change;  // zero: left as they are
    DWORD attributes;
};

using SetInformation = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
using NativeSetInformation = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
using NativeToError = ULONG(WINAPI*)(LONG);

FARPROC lookUp(const char* module, const char* name) { return GetProcAddress(GetModuleHandleA(module), name); }

// Looked up once, so that the program still starts where they are missing.
BOOL setInformation(HANDLE item, int vistaClass, int nativeClass, void* record, DWORD size) {
    static const auto vista =
        reinterpret_cast<SetInformation>(reinterpret_cast<void*>(lookUp("kernel32.dll", "SetFileInformationByHandle")));
    static const auto native =
        reinterpret_cast<NativeSetInformation>(reinterpret_cast<void*>(lookUp("ntdll.dll", "NtSetInformationFile")));
    static const auto toError =
        reinterpret_cast<NativeToError>(reinterpret_cast<void*>(lookUp("ntdll.dll", "RtlNtStatusToDosError")));
    if (vista) return vista(item, vistaClass, record, size);
    if (!native) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    ULONG_PTR status[2] = {};  // IO_STATUS_BLOCK
    LONG result = native(item, status, record, size, nativeClass);
    if (result >= 0) return TRUE;
    SetLastError(toError ? toError(result) : ERROR_ACCESS_DENIED);
    return FALSE;
}

}  // namespace

BOOL WindowsFileSystem::deleteOpened(HANDLE item, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        BasicInfo basic{};
        basic.attributes =
            (attributes & ~FILE_ATTRIBUTE_READONLY) ? attributes & ~FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
        setInformation(item, kFileBasicInfo, kNativeBasic, &basic, sizeof basic);
    }
    BOOLEAN deleteIt = TRUE;
    return setInformation(item, kFileDispositionInfo, kNativeDisposition, &deleteIt, sizeof deleteIt);
}
