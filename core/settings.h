// The settings record of a run, filled once from the INI file by loadSettings.
#pragma once

#include <windows.h>
#include <cstddef>
#include <string>
#include <vector>

// One entry of [Проверить пары]: "destination=source" in the file.
struct SyncPair {
    std::string source;
    std::string destination;
};

constexpr int kPathBuffer = 1024;  // every path field holds at most 1023 characters
constexpr std::size_t kMaxPathLength = kPathBuffer - 1;

struct SettingsRecord {
    bool clearReadOnly = true;      // СниматьReadOnly
    bool deleteExtraFiles = false;  // УдалятьНенужныеФайлы
    bool askOnError = true;         // ВопросПриОшибке
    bool rootOnly = false;          // ПроверятьТолькоКорень
    bool writeStatistics = false;   // ВыводитьСтатистикуСинхронизации
    int deletionLimit = 50;         // ПределУдаления: percent of the destination's files; 100 is no limit
    char runCommand[kPathBuffer] = "";        // Выполнить
    char commandArguments[kPathBuffer] = "";  // КоманднаяСтрока
    char runningCheckPath[kPathBuffer] = "";  // ПроверятьЗапущеноЛиУже
    bool hasUpdateList = false;
    char sourceDir[kPathBuffer] = "";           // КаталогИсточник, ends with '\'
    char destDir[kPathBuffer] = "";             // КаталогПриемник, expanded, ends with '\'
    char startDir[kPathBuffer] = "";            // current directory at start-up
    std::vector<std::string> ignoreList;        // [Игнорировать]
    std::vector<std::string> skipExistingList;  // [Пропустить существующие]
    std::vector<std::string> cutList;           // [Вырезать]
    std::vector<std::string> updateList;        // [Обновлять]
    std::vector<std::string> strictList;        // [СтрогоСинхронизировать]
    std::vector<SyncPair> pairList;             // [Проверить пары]
    bool osVersion5OrLater = false;
};

// Fills startDir and osVersion5OrLater from the process as it starts.
void takeStartFacts(SettingsRecord& settings);
