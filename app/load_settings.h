// Reading the INI file into the settings record, once per run.
#pragma once

#include <cstdint>

#include "app/run_logs.h"
#include "core/settings.h"

// Reads every setting and list, creates the destination directory chain
// (raises MessageError when it cannot) and opens the run logs there. False
// on a fault of the INI file, already reported; list faults count in
// errorCount.
bool loadSettings(const char* iniPath, SettingsRecord& settings, int32_t& errorCount, RunLogs& logs);

// The same for a list-only run: creates nothing and opens no log.
bool readSettingsOnly(const char* iniPath, SettingsRecord& settings, int32_t& errorCount);
