// Narrow work-list paths and the wide long-path form used for copying.
#pragma once

#include <string>

// The narrow text in wide characters of the ANSI code page; false when it
// cannot be converted.
bool widenAnsi(const char* text, std::wstring& wide);

// The wide text in the ANSI code page, a character it lacks by its best fit
// or '?' (for lines and comparisons, never for calls); empty when it cannot
// be converted.
std::string narrowAnsi(const std::wstring& wide);

// The wide form of a narrow path for CopyFileW: "\\?\" before a
// drive-absolute path, "\\?\UNC\" instead of the two leading backslashes of a
// network path, the start directory and a backslash before a relative one;
// then the first "\.\" collapses into one backslash. Empty when the path
// cannot be converted.
std::wstring toLongPath(const char* path, const std::wstring& startDir);

// Whether a directory lies on a network drive (a network path, or a drive
// letter the system reports as remote): there each file-system call waits
// for the network, and several at once overlap.
bool onNetworkDrive(const char* dir);
