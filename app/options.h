// The command-line options "/n" (quiet), "/g" (generate the INI file) and
// "/h" (usage).
#pragma once

extern const char* const kUsageText;

// The first case-insensitive occurrence of option in arguments, standing
// alone between delimiters (start, end, backspace, LF, CR or blank).
bool findOption(const char* arguments, const char* option);

// Handles the options; false when the program must end now.
bool parseOptions(const char* arguments);
