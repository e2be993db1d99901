// The run sequence of the program, from the command line to teardown.
#pragma once

#include <windows.h>

// Runs the program for the argument string (the command-line tail WinMain
// receives). Everything ends here; the exit code is always 0.
void runTolvaren(HINSTANCE instance, const char* arguments);
