#include "app/ini_encoding.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "win/show_message.h"
#include "win/unique_handle.h"

namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at p (no overlong forms, surrogates or
// code points past U+10FFFF), or 0.
std::size_t sequenceLength(const unsigned char* p, std::size_t left) {
    unsigned char c = p[0];
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    else
        return 0;
    if (left < n || p[1] < low || p[1] > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (!isContinuation(p[i])) return 0;
    return n;
}

std::vector<unsigned char> readAll(const char* path) {
    std::vector<unsigned char> bytes;
    win::UniqueCrtFile file(std::fopen(path, "rb"));
    if (!file) return bytes;
    unsigned char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}

// Refused like every configuration fault found before the run logs exist:
// in a box, or in quiet mode in the error stream.
void refuse(const char* iniPath, const char* why) {
    std::string text =
        std::string("Ошибка, файл инициализации \"") + iniPath + "\" " + why + " Синхронизация невозможна.";
    showMessage(nullptr, text.c_str(), "tolvaren", MB_ICONERROR);
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

bool namesProgramSection(const char* sectionNames) {
    static const char* const kSections[] = {
        "Основные параметры",      "Игнорировать", "Обновлять",      "СтрогоСинхронизировать",
        "Пропустить существующие", "Вырезать",     "Проверить пары", "Оформление"};
    for (const char* name = sectionNames; *name; name += std::strlen(name) + 1)
        for (const char* section : kSections)
            if (lstrcmpiA(name, section) == 0) return true;
    return false;
}

bool iniFileReadable(const char* iniPath) {
    std::vector<unsigned char> bytes = readAll(iniPath);
    if (isUtf8WithNonAscii(bytes.data(), bytes.size())) {
        refuse(iniPath, "сохранен в кодировке UTF-8.\nСохраните его в кодировке Windows-1251 (ANSI).");
        return false;
    }
    // An empty file means the defaults.
    bool blank = true;
    for (unsigned char c : bytes) blank = blank && (c == ' ' || c == '\t' || c == '\r' || c == '\n');
    if (blank) return true;

    const DWORD kNames = 32767;
    std::vector<char> names(kNames + 2, '\0');  // two NULs past the end close even a cut list
    GetPrivateProfileSectionNamesA(names.data(), kNames, iniPath);
    if (namesProgramSection(names.data())) return true;
    refuse(iniPath,
           "не содержит ни одной секции программы, например [Основные параметры].\nЕсли он сохранен не в "
           "кодировке Windows-1251 (ANSI), сохраните его в этой кодировке.");
    return false;
}
