// Finding the INI file named on the command line, in the current directory
// or beside the program.
#pragma once

#include "core/settings.h"

// Fills iniPath with the INI file to use; false when the program must end
// (the user was told, or asked whether to generate a file).
bool resolveIniPath(const char* arguments, char (&iniPath)[kPathBuffer]);
