// A copy is written beside its destination under a name of its own and only
// then moved over the real name: an interrupted copy never stands as the
// real file, and a destination that is a link (or one name of a file with
// several) is replaced, never written through. What a killed run left under
// such a name is deleted by the next run, whatever the settings say, and a
// source file of that name never takes part.
#pragma once

#include <cstring>

constexpr const char* kPartialCopySuffix = ".tolvaren-part";

inline bool isPartialCopy(const char* name) {
    std::size_t n = std::strlen(name), suffix = std::strlen(kPartialCopySuffix);
    return n > suffix && _stricmp(name + n - suffix, kPartialCopySuffix) == 0;
}
