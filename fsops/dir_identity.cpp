#include "fsops/dir_identity.h"

#include "win/unique_handle.h"

bool directoryIdentity(const std::string& fullPath, DirIdentity& id) {
    std::string path = fullPath;
    if (path.size() > 3 && path.back() == '\\') path.pop_back();  // keep "X:\" whole
    win::UniqueFileHandle h(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && handleIdentity(h.get(), id);
}

bool handleIdentity(HANDLE handle, DirIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
    return true;
}
