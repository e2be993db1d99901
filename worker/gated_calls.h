// The pass's file-system calls behind the worker's gate.
#pragma once

#include "fsops/fs_calls.h"
#include "core/worker_gate.h"
#include "fsops/fs_calls.h"
#include "core/worker_gate.h"

// Thrown at the first file-system call after a stop: unwinds the pass, so
// nothing further is listed, copied or reported, however the pass is built.
// Calls made on the pass's own helper threads (copies, listings ahead) carry
// it back to the worker thread, which unwinds from there.
struct Stopped {};

// Every file-system call of the pass first passes the gate: it stands still
// while the user is asked whether to abort, and after an abort it goes no
// further. FileSystemCalls has no bodies, so a call added there cannot
// compile until it is passed on here too.
class GatedCalls : public FileSystemCalls {
public:
    GatedCalls(FileSystemCalls& inner, const WorkerGate& gate) : inner_(inner), gate_(gate) {}

    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override {
        pass();
        return inner_.findFirstFile(pattern, data);
    }
    DWORD getFileAttributes(const char* path) override {
        pass();
        return inner_.getFileAttributes(path);
    }
    BOOL copyFileA(const char* from, const char* to) override {
        pass();
        return inner_.copyFileA(from, to);
    }
    BOOL copyFileW(const wchar_t* from, const wchar_t* to) override {
        pass();
        return inner_.copyFileW(from, to);
    }
    BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) override {
        pass();
        return inner_.freeBytesAvailable(dir, free);
    }

    HANDLE findFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* data) override {
        pass();
        return inner_.findFirstFileW(pattern, data);
    }
    BOOL moveReplacing(const wchar_t* from, const wchar_t* to) override {
        pass();
        return inner_.moveReplacing(from, to);
    }
    HANDLE openForDeletion(const wchar_t* path) override {
        pass();
        return inner_.openForDeletion(path);
    }
    BOOL deleteOpened(HANDLE item, DWORD attributes) override {
        pass();
        return inner_.deleteOpened(item, attributes);
    }

private:
    void pass() const {
        if (gate_.checkpoint()) throw Stopped{};
    }
    FileSystemCalls& inner_;
    const WorkerGate& gate_;
};
