#include "win/show_message.h"

#include <cstdio>

#include "win/message_box.h"

bool quietMode = false;

int showMessage(HWND owner, const char* text, const char* caption, UINT type) {
    if (quietMode) {
        std::fputs(text, stderr);
        std::fflush(stderr);
        return IDOK;
    }
    return messageBox(owner, text, caption, type);
}
