#include "app/ini_lists.h"

#include <windows.h>
#include <algorithm>
#include <cstring>
#include <iostream>

namespace {

constexpr DWORD kSectionBuffer = 0x7FFF;

const char* withoutLeadingBackslashes(const char* text) {
    while (*text == '\\') ++text;
    return text;
}

void appendMissing(std::vector<std::string>& list, const char* name) {
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
}

}  // namespace

unsigned readListSection(const char* iniPath, const char* section, std::vector<std::string>& list,
                         int32_t& errorCount) {
    std::vector<char> buffer(kSectionBuffer);
    DWORD length = GetPrivateProfileSectionA(section, buffer.data(), kSectionBuffer, iniPath);
    // A section that does not fit arrives with its last line cut ("keep_old"
    // as "keep"), which must not be taken for an entry.
    if (length == kSectionBuffer - 2) {
        while (length > 0 && buffer[length - 1] != '\0') --length;
        ++errorCount;
        std::cerr << "Ошибка в \"" << iniPath << "\" секция [" << section
                  << "] слишком длинная, ее последняя строка не прочитана" << std::endl;
    }
    for (DWORD at = 0; at < length;) {
        const char* line = buffer.data() + at;
        std::size_t n = std::strlen(line);
        if (n != 0 && line[0] != '#') list.push_back(line);
        at += static_cast<DWORD>(n) + 1;
    }
    return length;
}

void readIgnoreList(const char* iniPath, std::vector<std::string>& list, int32_t& errorCount) {
    if (readListSection(iniPath, "Игнорировать", list, errorCount) == 0)
        list.insert(list.end(), {"tolvaren.err", "tolvaren.out", "tolvaren.exe", "Кронваль", "Вартель", "Update"});
    // The companion components' directories are never synchronised.
    appendMissing(list, "Кронваль");
    appendMissing(list, "Вартель");
}

bool readPairList(const char* iniPath, std::vector<SyncPair>& pairs, int32_t& errorCount) {
    std::vector<std::string> lines;
    readListSection(iniPath, "Проверить пары", lines, errorCount);
    for (const std::string& line : lines) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            std::cerr << "Ошибка в \"" << iniPath << "\" невозможно определить путь-приемник в секции [Проверить пары]"
                      << std::endl;
            return false;
        }
        std::string destination = line.substr(0, equals);
        pairs.push_back(
            {withoutLeadingBackslashes(line.c_str() + equals + 1), withoutLeadingBackslashes(destination.c_str())});
    }
    return true;
}

bool readAllLists(const char* iniPath, SettingsRecord& settings, int32_t& errorCount) {
    readIgnoreList(iniPath, settings.ignoreList, errorCount);
    std::size_t before = settings.updateList.size();
    readListSection(iniPath, "Обновлять", settings.updateList, errorCount);
    if (settings.updateList.size() > before) settings.hasUpdateList = true;
    readListSection(iniPath, "СтрогоСинхронизировать", settings.strictList, errorCount);
    readListSection(iniPath, "Пропустить существующие", settings.skipExistingList, errorCount);
    readListSection(iniPath, "Вырезать", settings.cutList, errorCount);
    return readPairList(iniPath, settings.pairList, errorCount);
}
