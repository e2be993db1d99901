#include "sync/summary.h"

#include <cstdio>

std::string summaryLine(const PassTally& tally, int32_t errors, DWORD milliseconds) {
    // Tenths of a second, with the decimal comma of the log's language.
    unsigned long tenths = (milliseconds + 50) / 100;
    char line[256];
    std::snprintf(line, sizeof line,
                  "Итого: скопировано %ld, удалено файлов %ld, удалено каталогов %ld, создано каталогов %ld, "
                  "ошибок %ld, время %lu,%lu с",
                  static_cast<long>(tally.copied), static_cast<long>(tally.deletedFiles),
                  static_cast<long>(tally.deletedDirs), static_cast<long>(tally.createdDirs), static_cast<long>(errors),
                  tenths / 10, tenths % 10);
    return line;
}
