// The list sections of the INI file.
#pragma once

#include <string>
#include <vector>

#include "app/settings.h"

// Appends the section's lines, except empty ones and '#' comments, in file
// order; returns the length the section read gave (0: missing or no lines).
unsigned readListSection(const char* iniPath, const char* section, std::vector<std::string>& list);

// [Игнорировать] with its defaults and the two companion directories.
void readIgnoreList(const char* iniPath, std::vector<std::string>& list);

// [Проверить пары]: "destination=source" lines; false (reported to the
// error stream) at a line without '='.
bool readPairList(const char* iniPath, std::vector<SyncPair>& pairs);

// Every list section, in the order they are read; false after a fault.
bool readAllLists(const char* iniPath, SettingsRecord& settings);
