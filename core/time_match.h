// When two last-write times count as the same: FAT keeps times to 2 s.
#pragma once

#include <windows.h>
#include <cstdint>
#include <cstdlib>

// Two last-write times match when their high halves are equal and their low
// halves are at most 2 seconds (20,000,000 units of 100 ns) apart.
inline bool timeMatch(const FILETIME& a, const FILETIME& b) {
    if (a.dwHighDateTime != b.dwHighDateTime) return false;
    int64_t delta = static_cast<int32_t>(a.dwLowDateTime - b.dwLowDateTime);
    return std::llabs(delta) <= 20000000;
}
