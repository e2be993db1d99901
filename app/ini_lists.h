// The list sections of the INI file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/settings.h"

// Appends the section's lines, except empty ones and '#' comments, in file
// order; returns the length the section read gave (0: missing or no lines).
// A section too long for the buffer loses its cut last line: one error
// line, counted.
unsigned readListSection(const char* iniPath, const char* section, std::vector<std::string>& list, int32_t& errorCount);

// [Игнорировать] with its defaults and the two companion directories.
void readIgnoreList(const char* iniPath, std::vector<std::string>& list, int32_t& errorCount);

// [Проверить пары]: "destination=source" lines; false (reported to the
// error stream) at a line without '='.
bool readPairList(const char* iniPath, std::vector<SyncPair>& pairs, int32_t& errorCount);

// Every list section, in the order they are read; false after a fault.
bool readAllLists(const char* iniPath, SettingsRecord& settings, int32_t& errorCount);
