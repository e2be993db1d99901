#include "fsops/dir_identity.h"

#include "win/unique_handle.h"

namespace {

win::UniqueFileHandle openDirectory(const std::string& fullPath) {
    std::string path = fullPath;
    if (path.size() > 3 && path.back() == '\\') path.pop_back();  // keep "X:\" whole
    return win::UniqueFileHandle(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryInformation = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;  // the file index alone, since NT 4

// The file index without the volume; GetFileInformationByHandle asks both.
bool handleIndex(HANDLE handle, DWORD& high, DWORD& low) {
    static const auto query = reinterpret_cast<QueryInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
    LARGE_INTEGER index;
    IoStatus io{};
    if (query && query(handle, &io, &index, sizeof index, kFileInternalInformation) >= 0) {
        high = static_cast<DWORD>(index.HighPart);
        low = index.LowPart;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    high = info.nFileIndexHigh;
    low = info.nFileIndexLow;
    return true;
}

}  // namespace

bool directoryIdentity(const std::string& fullPath, DirIdentity& id) {
    win::UniqueFileHandle h = openDirectory(fullPath);
    return h && handleIdentity(h.get(), id);
}

bool isSameDirectory(const std::string& fullPath, const DirIdentity& id) {
    win::UniqueFileHandle h = openDirectory(fullPath);
    DWORD high = 0, low = 0;
    if (!h || !handleIndex(h.get(), high, low) || high != id.indexHigh || low != id.indexLow) return false;
    DirIdentity found;
    return handleIdentity(h.get(), found) && found == id;
}

bool handleIdentity(HANDLE handle, DirIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
    return true;
}
