#include "fsops/final_path.h"

#include "fsops/path_forms.h"
#include "fsops/path_normal.h"
#include "win/unique_handle.h"

namespace {

using GetFinalPath = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Looked up once: the program still starts on systems that lack it.
GetFinalPath finalPathFunction() {
    static const GetFinalPath function = reinterpret_cast<GetFinalPath>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    return function;
}

void fold(std::wstring& text) {
    if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
}

std::wstring stripLongPrefix(std::wstring path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// The final path of an existing item, links followed.
bool finalPathOfExisting(const std::string& path, std::wstring& out) {
    std::wstring wide;
    if (!widenAnsi(path.c_str(), wide)) return false;
    win::UniqueFileHandle h(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && finalPathOf(h.get(), out);
}

}  // namespace

bool finalPathOf(HANDLE handle, std::wstring& path) {
    GetFinalPath function = finalPathFunction();
    if (!function) return false;
    wchar_t small[MAX_PATH];
    DWORD n = function(handle, small, MAX_PATH, 0);
    if (n == 0) return false;
    if (n < MAX_PATH) {
        path.assign(small, n);
    } else {
        path.assign(n, L'\0');
        DWORD m = function(handle, &path[0], n, 0);
        if (m == 0 || m >= n) return false;
        path.resize(m);
    }
    path = stripLongPrefix(std::move(path));
    fold(path);
    return true;
}

bool canonicalPath(const std::string& path, std::wstring& canonical, bool* resolved) {
    std::string normal;
    if (!absoluteNormal(path, normal)) return false;
    if (resolved) *resolved = false;
    // From the item up: the first level that exists gives the final path,
    // the levels below it are appended as written.
    std::string rest;
    for (std::string level = normal;;) {
        std::wstring found;
        if (finalPathOfExisting(level, found)) {
            std::wstring tail;
            if (!widenAnsi(rest.c_str(), tail)) return false;
            fold(tail);
            if (!tail.empty() && found.back() != L'\\') found += L'\\';
            canonical = found + tail;
            if (resolved) *resolved = true;
            return true;
        }
        std::size_t slash = level.find_last_of('\\');
        if (slash == std::string::npos || slash + 1 >= level.size() || level.size() <= 3) break;
        rest = level.substr(slash + 1) + (rest.empty() ? "" : "\\" + rest);
        level.erase(slash == 2 ? 3 : slash);  // keep "C:\" whole
    }
    if (!widenAnsi(normal.c_str(), canonical)) return false;
    fold(canonical);
    return true;
}

bool canonicalBelow(const std::wstring& path, const std::wstring& root) {
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return false;
    return root.back() == L'\\' || path[root.size()] == L'\\';
}
