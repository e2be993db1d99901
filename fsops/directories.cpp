#include "fsops/directories.h"

#include <windows.h>
#include <cstdlib>
#include <cstring>

namespace {

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

[[noreturn]] void refuseName(const char* path) {
    DWORD code = GetLastError();
    throw MessageError("неверное имя каталога " + quoted(path), code);
}

// Index of the first character after the backslash that follows the part
// starting at from, or 0 when there is no such backslash.
std::size_t afterNextBackslash(const char* text, std::size_t from) {
    const char* slash = std::strchr(text + from, '\\');
    return slash ? static_cast<std::size_t>(slash - text) + 1 : 0;
}

// Where the levels that may be created begin: past a drive, a leading
// backslash, or the server and share of a network path.
std::size_t firstLevel(const char* full, const char* original) {
    if (full[0] == '\\' && full[1] == '\\') {
        std::size_t share = afterNextBackslash(full, 2);
        std::size_t levels = share ? afterNextBackslash(full, share) : 0;
        if (!levels) refuseName(original);
        return levels;
    }
    if (full[0] == '\\') return 1;
    if (full[1] == ':') return full[2] == '\\' ? 3 : 2;
    return 0;
}

void examineLevel(const char* level) {
    DWORD attributes = GetFileAttributesA(level);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Only a level reported as missing is created; one that cannot be
        // read (no access, no network) is passed over.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) createOneDirectory(level);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DWORD code = GetLastError();
        throw MessageError("невозможно создать каталог " + quoted(level) + " т.к. найден файл с тем же именем", code);
    }
}

}  // namespace

void ensureDirectory(const char* path) {
    char full[1024];
    // _fullpath refuses a result that does not fit; one more byte is kept
    // for the closing backslash.
    if (!_fullpath(full, path, sizeof full - 1)) refuseName(path);
    std::size_t length = std::strlen(full);
    if (length == 0) return;
    if (full[length - 1] != '\\') {
        full[length++] = '\\';
        full[length] = '\0';
    }
    std::size_t begin = firstLevel(full, path);
    for (std::size_t i = begin; i < length; ++i) {
        if (full[i] != '\\') continue;
        full[i] = '\0';
        examineLevel(full);
        full[i] = '\\';
    }
}

void createOneDirectory(const char* level) {
    if (CreateDirectoryA(level, nullptr)) return;
    DWORD code = GetLastError();
    throw MessageError("невзможно создать каталог " + quoted(level), code);
}
