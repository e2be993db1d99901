#include "app/ini_encoding.h"

#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

#include "app/show_message.h"
#include "win/unique_handle.h"

namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at p (no overlong forms, surrogates or
// code points past U+10FFFF), or 0.
std::size_t sequenceLength(const unsigned char* p, std::size_t left) {
    unsigned char c = p[0];
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    else return 0;
    if (left < n || p[1] < low || p[1] > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (!isContinuation(p[i])) return 0;
    return n;
}

}  // namespace

bool isUtf8WithNonAscii(const unsigned char* bytes, std::size_t size) {
    bool nonAscii = false;
    for (std::size_t i = 0; i < size;) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = sequenceLength(bytes + i, size - i);
        if (n == 0) return false;
        nonAscii = true;
        i += n;
    }
    return nonAscii;
}

bool isUtf8File(const char* path) {
    win::UniqueCrtFile file(std::fopen(path, "rb"));
    if (!file) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    return isUtf8WithNonAscii(bytes.data(), bytes.size());
}

void reportUtf8Ini(const char* iniPath) {
    std::string text = std::string("Ошибка, файл инициализации \"") + iniPath +
                       "\" сохранен в кодировке UTF-8.\nСохраните его в кодировке Windows-1251 (ANSI). "
                       "Синхронизация невозможна.";
    showMessage(nullptr, text.c_str(), "tolvaren", MB_ICONERROR);
}
