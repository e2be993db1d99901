// loadSettings: reads the INI file once, prepares the destination directory
// and opens the run logs there.
#include <windows.h>
#include <iostream>
#include <string>

#include "app/ini_encoding.h"
#include "app/ini_lists.h"
#include "app/ini_reading.h"
#include "app/load_settings.h"
#include "app/run_logs.h"
#include "win/show_message.h"
#include "fsops/directories.h"
#include "fsops/path_normal.h"

namespace {

// A directory setting with its separators, "." and ".." resolved: a doubled
// backslash or a ".." would otherwise make every long-path copy fail. A
// text that does not resolve is kept as written.
std::string normalDir(const char* text) {
    std::string normal;
    return normalizePath(text, normal) && !normal.empty() ? normal : std::string(text);
}

// Found before the run logs exist, so told in a box (or the error stream).
void destinationFault(const char* text) { showMessage(nullptr, text, "tolvaren", MB_ICONWARNING); }

bool readDestination(const char* iniPath, SettingsRecord& settings) {
    std::string expanded = readDestinationSetting(iniPath);
    if (expanded.empty()) {
        destinationFault("Ошибка, не задан путь к каталогу приемнику. Синхронизация невозможна.");
        return false;
    }
    if (expanded.size() >= kPathBuffer || !storeDirPath(settings.destDir, normalDir(expanded.c_str()).c_str())) {
        destinationFault("Ошибка, слишком длинный путь к каталогу приемнику. Синхронизация невозможна.");
        return false;
    }
    return true;
}

bool readSource(const char* iniPath, SettingsRecord& settings) {
    char current[kPathBuffer];
    DWORD n = GetCurrentDirectoryA(sizeof current, current);
    if (n == 0 || n >= sizeof current) current[0] = '\0';
    std::string value = readIniValue(iniPath, "КаталогИсточник", current);
    if (value.empty()) {
        std::cerr << "Ошибка, не указан путь к каталогу источнику. " << " Синхронизация невозможна." << std::endl;
        return false;
    }
    if (!storeDirPath(settings.sourceDir, normalDir(value.c_str()).c_str())) {
        std::cerr << "Ошибка, слишком длинный путь к каталогу источнику. Синхронизация невозможна." << std::endl;
        return false;
    }
    return true;
}

// Asks after a failed pass unless the value is exactly "нет" in any case.
void readAskOnError(const char* iniPath, bool& askOnError) {
    askOnError = _stricmp(readYesNoText(iniPath, "ВопросПриОшибке", askOnError).c_str(), "НЕТ") != 0;
}

}  // namespace

bool loadSettings(const char* iniPath, SettingsRecord& settings, int32_t& errorCount, RunLogs& logs) {
    // A file saved in UTF-8 or another code page would match none of the
    // names and run on the defaults; nothing is created for it.
    if (!iniFileReadable(iniPath)) return false;
    if (!readDestination(iniPath, settings)) return false;
    ensureDirectory(settings.destDir);
    logs.open();
    if (!readSource(iniPath, settings)) return false;

    readYesNo(iniPath, "ВыводитьСтатистикуСинхронизации", settings.writeStatistics);
    if (!settings.writeStatistics) logs.closeStatistics();
    readYesNo(iniPath, "СниматьReadOnly", settings.clearReadOnly);
    readYesNo(iniPath, "УдалятьНенужныеФайлы", settings.deleteExtraFiles);
    readIniField(iniPath, "Выполнить", "darv.exe", settings.runCommand);
    readIniField(iniPath, "КоманднаяСтрока", "", settings.commandArguments);
    readAskOnError(iniPath, settings.askOnError);
    readYesNo(iniPath, "ПроверятьТолькоКорень", settings.rootOnly);
    readIniField(iniPath, "ПроверятьЗапущеноЛиУже", "darv.exe", settings.runningCheckPath);
    return readAllLists(iniPath, settings, errorCount);
}
