#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <iostream>

#include "worker/launch.h"
#include "win/fixed_text.h"
#include "win/late_bound.h"

namespace {

// The shell starts a program (or opens a document) only from a path that
// fits MAX_PATH, terminating NUL included; the whole command line it then
// builds stays far below the 32,767 characters of a process's command line,
// since both settings hold at most 1023. A longer path is not handed to the
// shell at all: some shells overflow a buffer on it instead of failing.
bool fitsTheShell(const SettingsRecord& s) {
    std::size_t length = std::strlen(s.runCommand);
    if (!win::isDriveAbsolute(s.runCommand) && !win::isNetworkPath(s.runCommand)) length += std::strlen(s.destDir);
    return length < MAX_PATH;
}

}  // namespace

void launchCommand(const SettingsRecord& settings) {
    if (!settings.runCommand[0]) return;

    // A drive-absolute command gets an empty (not a missing) working
    // directory; relative commands and network paths get destDir.
    char workDir[kPathBuffer] = "";
    if (!win::isDriveAbsolute(settings.runCommand)) win::copyText(workDir, settings.destDir);

    // A path too long is reported with the Windows code for one (206); the
    // shell's own failures are its status numbers, all below 32.
    int status = ERROR_FILENAME_EXCED_RANGE;
    bool failed = true;
    if (fitsTheShell(settings)) {
        win::LateBound<decltype(ShellExecuteA)> shellExecute("shell32.dll", "ShellExecuteA");
        status = SE_ERR_DLLNOTFOUND;
        if (shellExecute) {
            HINSTANCE started = shellExecute.call(nullptr, "open", settings.runCommand, settings.commandArguments,
                                                  workDir, SW_SHOWNORMAL);
            status = static_cast<int>(reinterpret_cast<INT_PTR>(started));
        }
        failed = status < 32;
    }
    if (failed)
        std::cerr << "Ошибка " << status << " выполнения команды \"" << settings.runCommand << "\" рабочий каталог \""
                  << workDir << "\"" << std::endl;
    else
        std::cout << "Выполнение команды \"" << settings.runCommand << "\" рабочий каталог \"" << workDir << "\""
                  << std::endl;
}
