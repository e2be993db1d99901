// The process-wide quiet flag of "/n" and the message function every
// start-up notice goes through.
#pragma once

#include <windows.h>

// Set only by "/n", before the INI file is looked for; read-only afterwards.
extern bool quietMode;

// In quiet mode writes the text to the error stream (no line end added) and
// returns a non-zero value; otherwise shows the box and returns its answer.
int showMessage(HWND owner, const char* text, const char* caption, UINT type);
