// Stands in for a launcher that prepares the start-up handshake for a child:
//   handshake.exe block|event-only RESULT-FILE CHILD-EXE [CHILD-ARGS...]
// The child is started suspended so its identifier is known before it runs.
// "block": creates the mapping "<child>Tolvaren" holding this process's own
// identifier and the event "<child>TolvarenCheckStart", lets the child run and
// waits up to 30 s for the event, then ends 1.5 s later (the child waits for
// this process meanwhile). "event-only": creates only the event, waits for the child to
// end and looks whether the event was set. Writes "set" or "not set" to the
// result file; the exit code is 0 when the event was set.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "win/unique_handle.h"

namespace {

std::string quoted(const char* arg) { return std::string("\"") + arg + "\""; }

bool writeResult(const char* path, bool set) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    std::fputs(set ? "set\n" : "not set\n", out);
    std::fclose(out);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    bool withBlock = std::strcmp(argv[1], "block") == 0;
    std::string commandLine = quoted(argv[3]);
    for (int i = 4; i < argc; ++i) commandLine += " " + quoted(argv[i]);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                        &pi))
        return 3;
    win::UniqueKernelHandle child(pi.hProcess), childThread(pi.hThread);

    std::string name = std::to_string(pi.dwProcessId) + "Tolvaren";
    win::UniqueKernelHandle mapping;
    win::UniqueView view;
    if (withBlock) {
        mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str()));
        if (mapping) view.reset(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!view) return 4;
        DWORD self = GetCurrentProcessId();
        std::memcpy(view.get(), &self, sizeof self);
    }
    win::UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, (name + "CheckStart").c_str()));
    if (!event) return 5;
    ResumeThread(childThread.get());

    bool set;
    if (withBlock) {
        set = WaitForSingleObject(event.get(), 30000) == WAIT_OBJECT_0;
        Sleep(1500);  // long enough for the child to be seen waiting, far below its minute
    } else {
        WaitForSingleObject(child.get(), 30000);
        set = WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
    }
    if (!writeResult(argv[2], set)) return 6;
    return set ? 0 : 1;
}
