// Refusing an INI file that the profile functions would misread: saved in
// UTF-8, or in any other encoding in which the Russian section names match
// nothing. Such a file would run on the defaults, a configuration nobody
// wrote.
#pragma once

#include <cstddef>

// True when the bytes are valid UTF-8 and hold at least one non-ASCII
// character. Windows-1251 text with Cyrillic letters never is.
bool isUtf8WithNonAscii(const unsigned char* bytes, std::size_t size);

// Whether a list of section names (each NUL-terminated, the list ended by an
// empty name, as GetPrivateProfileSectionNamesA gives it) holds one of the
// program's sections, compared as the profile functions compare them
// (letter case aside).
bool namesProgramSection(const char* sectionNames);

// Whether the INI file can be used: not UTF-8, and when it holds anything
// but blanks, at least one of the program's sections is found in it (a
// UTF-16 file with a byte-order mark is read by the profile functions and
// passes). Otherwise tells the user and returns false.
bool iniFileReadable(const char* iniPath);
