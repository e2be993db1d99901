// loadSettings: reads the INI file once, prepares the destination directory
// and opens the run logs there.
#include <windows.h>
#include <cstdlib>
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
        std::cerr << "Ошибка, не указан путь к каталогу источнику. "
                  << " Синхронизация невозможна." << std::endl;
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

// A whole number from 0 to 100; anything else keeps the default, so a typo
// never turns the limit off.
void readPercent(const char* iniPath, const char* key, int& field) {
    std::string value = readIniValue(iniPath, key, "");
    if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos) return;
    int percent = std::atoi(value.c_str());
    if (percent <= 100) field = percent;
}

// Everything after the destination; logs null: a list-only run, which opens none.
bool readTheRest(const char* iniPath, SettingsRecord& settings, int32_t& errorCount, RunLogs* logs) {
    if (!readSource(iniPath, settings)) return false;

    readYesNo(iniPath, "ВыводитьСтатистикуСинхронизации", settings.writeStatistics);
    if (!settings.writeStatistics && logs) logs->closeStatistics();
    readPercent(iniPath, "ПределУдаления", settings.deletionLimit);
    readYesNo(iniPath, "СниматьReadOnly", settings.clearReadOnly);
    readYesNo(iniPath, "УдалятьНенужныеФайлы", settings.deleteExtraFiles);
    readIniField(iniPath, "Выполнить", "darv.exe", settings.runCommand);
    readIniField(iniPath, "КоманднаяСтрока", "", settings.commandArguments);
    readAskOnError(iniPath, settings.askOnError);
    readYesNo(iniPath, "ПроверятьТолькоКорень", settings.rootOnly);
    readIniField(iniPath, "ПроверятьЗапущеноЛиУже", "darv.exe", settings.runningCheckPath);
    return readAllLists(iniPath, settings, errorCount);
}

}  // namespace

bool loadSettings(const char* iniPath, SettingsRecord& settings, int32_t& errorCount, RunLogs& logs) {
    // A file saved in UTF-8 or another code page would match none of the
    // names and run on the defaults; nothing is created for it.
    if (!iniFileReadable(iniPath)) return false;
    if (!readDestination(iniPath, settings)) return false;
    ensureDirectory(settings.destDir);
    logs.open();
    return readTheRest(iniPath, settings, errorCount, &logs);
}

bool readSettingsOnly(const char* iniPath, SettingsRecord& settings, int32_t& errorCount) {
    if (!iniFileReadable(iniPath) || !readDestination(iniPath, settings)) return false;
    return readTheRest(iniPath, settings, errorCount, nullptr);
}
