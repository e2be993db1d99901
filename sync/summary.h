// The run's last statistics line.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

#include "sync/pass.h"

// "Итого: скопировано N, удалено файлов N, удалено каталогов N, создано
// каталогов N, ошибок N, время S,s с".
std::string summaryLine(const PassTally& tally, int32_t errors, DWORD milliseconds);
