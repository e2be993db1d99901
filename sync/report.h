// Error lines of the scans and the registry walks. Each goes to the error
// stream as one line and counts in errorCount.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

// A path (full, relative, listing pattern or work-list path) that does not
// fit its 1023 characters, or a name that does not fit its 259: the entry
// was left out.
void reportTooLong(const std::string& path, int32_t& errorCount);

// A directory that exists but could not be listed: left out on both sides.
void reportUnlisted(DWORD code, const std::string& path, int32_t& errorCount);
