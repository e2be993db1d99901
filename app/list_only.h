// The list-only run (option "/l"): the pass up to its work lists, then the
// lines of what a real run would do, on standard output.
#pragma once

#include <windows.h>

// Reads the settings without creating or opening anything, builds the work
// lists as a real run does and writes the action lines a real run writes to
// its statistics log, the errors it already knows and the summary line: to
// standard output, or to "tolvaren.lst" in the current directory when the
// program has none. No window, no question, no running check, no launch.
void runListOnly(const char* iniPath, DWORD startTick);
