#include "core/text1251.h"

unsigned char toUpper1251(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0) return static_cast<unsigned char>(c - 0x20);  // а..я
    if (c == 0xB8) return 0xA8;                                  // ё
    return c;
}

void upperCase1251(char* text) {
    for (; *text; ++text) *text = static_cast<char>(toUpper1251(static_cast<unsigned char>(*text)));
}
