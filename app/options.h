// The command-line options "/n" (quiet), "/g" (generate the INI file),
// "/h" (usage) and "/l" (list only).
#pragma once

extern const char* const kUsageText;

// The argument string of a full command line (GetCommandLineA): the text
// after the program path and the blanks that follow it. The path ends at
// its closing quote when quoted, else at the first blank or control
// character; bytes compare unsigned, so Cyrillic letters never end it.
const char* argumentTail(const char* commandLine);

// The first case-insensitive occurrence of option in arguments, standing
// alone between delimiters (start, end, backspace, LF, CR or blank).
bool findOption(const char* arguments, const char* option);

// The arguments past option when they begin with it, so that "/l" alone
// is not taken for the INI file's name.
const char* withoutLeadingOption(const char* arguments, const char* option);

// Handles the options; false when the program must end now.
bool parseOptions(const char* arguments);
