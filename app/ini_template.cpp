#include "app/ini_template.h"

#include <windows.h>
#include <cstdio>

#include "core/settings.h"
#include "win/show_message.h"
#include "win/fixed_text.h"
#include "win/unique_handle.h"

namespace {

constexpr int kTemplateId = 103;

void error(const char* text) { showMessage(nullptr, text, "tolvaren", MB_ICONERROR); }

// The template's bytes inside the program's own module.
bool templateBytes(const void*& bytes, DWORD& size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kTemplateId), "TXT");
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    bytes = loaded ? LockResource(loaded) : nullptr;
    size = found ? SizeofResource(nullptr, found) : 0;
    return bytes != nullptr;
}

}  // namespace

bool generateIniFile() {
    char dir[kPathBuffer];
    char path[kPathBuffer];
    DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || !win::joinText(path, {dir, "\\tolvaren.ini"})) {
        error("Невозможно создать ini-файл: слишком длинный путь к текущему каталогу");
        return false;
    }
    const void* bytes;
    DWORD size;
    if (!templateBytes(bytes, size)) {
        error("Невозможно получить доступ к ресурсам");
        return false;
    }
    win::UniqueCrtFile file(std::fopen(path, "wb"));
    if (!file) {
        error("Невозможно создать ini-файл");
        return false;
    }
    // A short write (a full disk) would leave a cut template that the next
    // start reads as a valid INI file running on defaults: count it as not
    // written and take the remains away.
    bool written = std::fwrite(bytes, 1, size, file.get()) == size;
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) {
        std::remove(path);
        error("Невозможно создать ini-файл");
    }
    return written;
}

void showGeneratedMessage() {
    showMessage(nullptr, "ini-файл сгенерирован.\nОтредактируйте  'tolvaren.ini'  перед\nследующим запуском программы.",
                "tolvaren", MB_OK);
}
