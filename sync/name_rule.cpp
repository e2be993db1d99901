#include "sync/name_rule.h"

namespace {

inline unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool nameMatch(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = foldAscii(static_cast<unsigned char>(*a));
        unsigned char y = foldAscii(static_cast<unsigned char>(*b));
        if (x != y) return false;
        if (x == 0) return true;
    }
}

uint32_t nameHash(const char* name) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (; *name; ++name) {
        h ^= foldAscii(static_cast<unsigned char>(*name));
        h *= 16777619u;
    }
    return h;
}

std::string foldName(const char* name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(foldAscii(static_cast<unsigned char>(c)));
    return folded;
}
