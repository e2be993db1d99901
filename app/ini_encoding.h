// Telling an INI file saved in UTF-8 from one in Windows-1251: the Russian
// section and key names of a UTF-8 file would match nothing.
#pragma once

#include <cstddef>

// True when the bytes are valid UTF-8 and hold at least one non-ASCII
// character. Windows-1251 text with Cyrillic letters never is.
bool isUtf8WithNonAscii(const unsigned char* bytes, std::size_t size);

// The same test on a file's bytes; false when the file cannot be read.
bool isUtf8File(const char* path);

// Tells the user the file must be saved in Windows-1251.
void reportUtf8Ini(const char* iniPath);
