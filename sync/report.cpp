#include "sync/report.h"

#include <iostream>

void reportTooLong(const std::string& path, int32_t& errorCount) {
    ++errorCount;
    std::cerr << "Ошибка: путь \"" << path << "\" слишком длинный, пропущен" << std::endl;
}

void reportUnlisted(DWORD code, const std::string& path, int32_t& errorCount) {
    ++errorCount;
    std::cerr << "Ошибка " << code << " чтения каталога \"" << path << "\"" << std::endl;
}
