#include "worker/application_path.h"

#include "win/fixed_text.h"

bool applicationPath(const SettingsRecord& settings, char (&out)[kPathBuffer]) {
    if (win::isDriveAbsolute(settings.runningCheckPath)) return win::copyText(out, settings.runningCheckPath);
    return win::joinText(out, {settings.destDir, settings.runningCheckPath});
}
