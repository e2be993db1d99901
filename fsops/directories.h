// Creating a directory chain (removal is fsops/deletion_gate.h).
#pragma once

#include <windows.h>
#include <stdexcept>
#include <string>

// An error with a narrow (Windows-1251) message text, raised only while the
// destination directory is prepared and reported by the entry point.
// The Windows error code is taken when the error is raised: unwinding to the
// handler may call functions that reset the thread's last error.
class MessageError : public std::runtime_error {
public:
    explicit MessageError(const std::string& text) : MessageError(text, GetLastError()) {}
    MessageError(const std::string& text, DWORD code) : std::runtime_error(text), code_(code) {}
    DWORD code() const { return code_; }

private:
    DWORD code_;
};

// Creates each missing level of the path from the top down; raises MessageError.
void ensureDirectory(const char* path);
// CreateDirectoryA for one level whose parent exists; raises MessageError.
void createOneDirectory(const char* level);
