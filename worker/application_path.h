// The path of the managed application: the running test looks for it and
// the worker's questions name it.
#pragma once

#include "core/settings.h"

// runningCheckPath when it is drive-absolute, otherwise destDir followed by
// it. False, with out empty, when the joined path would pass 1023 characters.
bool applicationPath(const SettingsRecord& settings, char (&out)[kPathBuffer]);
