#include <windows.h>
#include <shellapi.h>

#include <iostream>

#include "sync/sync_engine.h"
#include "win/fixed_text.h"

void SyncEngine::launchCommand() {
    if (!settings.runCommand[0]) return;

    // A drive-absolute command gets an empty (not a missing) working
    // directory; relative commands and network paths get destDir.
    char workDir[kPathBuffer] = "";
    if (!win::isDriveAbsolute(settings.runCommand)) win::copyText(workDir, settings.destDir);

    HINSTANCE started = ShellExecuteA(nullptr, "open", settings.runCommand, settings.commandArguments, workDir,
                                      SW_SHOWNORMAL);
    int status = static_cast<int>(reinterpret_cast<INT_PTR>(started));
    if (status < 32)
        std::cerr << "Ошибка " << status << " выполнения команды \"" << settings.runCommand
                  << "\" рабочий каталог \"" << workDir << "\"" << std::endl;
    else
        std::cout << "Выполнение команды \"" << settings.runCommand << "\" рабочий каталог \"" << workDir << "\""
                  << std::endl;
}
