// Windows-1251 upper-casing: Latin a-z, Cyrillic а-я and ё; every other byte
// stays as it is.
#pragma once

#include <cstddef>

unsigned char toUpper1251(unsigned char c);
void upperCase1251(char* text);  // in place, up to the NUL
