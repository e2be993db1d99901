#include "app/run.h"

#include <cstdio>
#include <iostream>

#include "app/ini_path.h"
#include "app/options.h"
#include "app/show_message.h"
#include "fsops/directories.h"
#include "sync/sync_engine.h"

namespace {

// The destination could not be prepared: one line in the error stream, no box.
void reportMessageError(const MessageError& error) {
    std::cerr << "Ошибка [" << error.code() << "], " << error.what() << std::endl;
    std::fflush(stderr);
    std::fflush(stdout);
}

// Settings loaded, run logs open: the window, the worker and the message
// loop run from here.
void runLoadedSettings(HINSTANCE, const char*, SyncEngine& engine) {
    // Until the worker exists the pass runs here, without a window (so
    // without captions).
    engine.runPass();
    // Splash window: create and show it, store its handle in the engine's
    // windowHandle, start the worker with the window and the engine, run the
    // message loop, then give the worker 1 ms and terminate it if it still runs.
}

}  // namespace

void runTolvaren(HINSTANCE instance, const char* arguments) {
    if (!parseOptions(arguments)) return;
    char iniPath[kPathBuffer];
    if (!resolveIniPath(arguments, iniPath)) return;

    SyncEngine engine;
    // The splash window is created here (it reads its picture from the INI
    // file) and destroyed before the engine.
    try {
        if (engine.loadSettings(iniPath))
            runLoadedSettings(instance, iniPath, engine);
        else
            showMessage(nullptr, "Ошибка в файле инициализации", "tolvaren", MB_OK);
    } catch (const MessageError& error) {
        reportMessageError(error);
    }
}
