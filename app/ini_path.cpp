#include "app/ini_path.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/ini_template.h"
#include "win/show_message.h"
#include "win/fixed_text.h"
#include "win/unique_handle.h"

namespace {

bool exists(const char* path) { return win::UniqueCrtFile(std::fopen(path, "r")).valid(); }

// Current directory + tail; false when the result would not fit.
bool inCurrentDirectory(char (&path)[kPathBuffer], const char* tail) {
    char dir[kPathBuffer];
    DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    return n != 0 && n < sizeof dir && win::joinText(path, {dir, tail});
}

// The name as given: absolute and network paths unchanged, anything else
// below the current directory.
bool namedPath(char (&path)[kPathBuffer], const std::string& name) {
    if (win::isDriveAbsolute(name.c_str()) || win::isNetworkPath(name.c_str()))
        return win::copyText(path, name.c_str());
    return inCurrentDirectory(path, ("\\" + name).c_str());
}

// tolvaren.ini beside the program itself.
bool besideProgram(char (&path)[kPathBuffer]) {
    char module[kPathBuffer];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n == 0 || n >= sizeof module) return false;
    char* slash = std::strrchr(module, '\\');
    if (!slash) return false;
    slash[1] = '\0';
    return win::joinText(path, {module, "tolvaren.ini"});
}

void offerGeneration() {
    if (quietMode) return;
    if (showMessage(nullptr, "Не существует ini-файл.\n Сгенерировать файл?", "tolvaren", MB_ICONERROR | MB_YESNO) ==
        IDNO)
        return;
    if (generateIniFile()) showGeneratedMessage();
}

}  // namespace

bool resolveIniPath(const char* arguments, char (&iniPath)[kPathBuffer]) {
    // Quotes get no special treatment: the name ends at the first blank.
    std::string name(arguments, std::strcspn(arguments, " "));
    if (!name.empty()) {
        if (namedPath(iniPath, name) && exists(iniPath)) return true;
        showMessage(nullptr, "Ошибка при задании имени ini-файла.\n Задайте существующий файл.", "tolvaren",
                    MB_ICONERROR);
        return false;
    }
    if (inCurrentDirectory(iniPath, "\\tolvaren.ini") && exists(iniPath)) return true;
    if (besideProgram(iniPath) && exists(iniPath)) return true;
    iniPath[0] = '\0';
    offerGeneration();
    return false;
}
