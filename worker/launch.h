// Starting the application once the run is done.
#pragma once

#include "core/settings.h"

// Starts runCommand with commandArguments through the shell, in destDir
// unless the command is drive-absolute; writes its line ("Выполнение
// команды ...") or its error line. Nothing happens without a command.
void launchCommand(const SettingsRecord& settings);
