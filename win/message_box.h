// Every message box of the program goes through messageBox, so the tests can
// link a scripted one in place of the real MessageBoxA (message_box_win.cpp).
#pragma once

#include <windows.h>

int messageBox(HWND owner, const char* text, const char* caption, UINT type);
