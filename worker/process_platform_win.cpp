#include "worker/process_platform.h"

#include <tlhelp32.h>
#include <cstring>

#include "win/unique_handle.h"

namespace {

// Waits ms milliseconds, or less once wake (if any) is signalled.
void sleepUnless(HANDLE wake, DWORD ms) {
    if (!wake || WaitForSingleObject(wake, ms) == WAIT_FAILED) Sleep(ms);
}

class WinProcess : public ProcessPlatform::Process {
public:
    WinProcess(HANDLE process, HANDLE wake) : process_(process), wake_(wake) {}

    bool waitForExit(DWORD ms) override {
        HANDLE handles[2] = {process_.get(), wake_};
        DWORD r = WaitForMultipleObjects(wake_ ? 2 : 1, handles, FALSE, ms);
        if (r != WAIT_FAILED) return r == WAIT_OBJECT_0;
        sleepUnless(wake_, ms);  // keep the poll interval even when the wait itself fails
        return false;
    }

    void terminate() override { TerminateProcess(process_.get(), 0); }

private:
    win::UniqueKernelHandle process_;
    HANDLE wake_;  // not owned
};

class WinSharedBlock : public ProcessPlatform::SharedBlock {
public:
    WinSharedBlock(win::UniqueKernelHandle mapping, win::UniqueView view)
        : mapping_(std::move(mapping)), view_(std::move(view)) {}

    uint32_t readProcessId() override {
        const unsigned char* b = static_cast<const unsigned char*>(view_.get());
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }

private:
    win::UniqueKernelHandle mapping_;  // declared first: the view is unmapped before it closes
    win::UniqueView view_;
};

// Main-module path of a process; false when its modules cannot be read.
bool mainModuleOf(DWORD id, MODULEENTRY32& module) {
    win::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id));
    if (!snapshot) return false;
    module.dwSize = sizeof module;
    return Module32First(snapshot.get(), &module) != FALSE;
}

class WinProcessPlatform : public ProcessPlatform {
public:
    explicit WinProcessPlatform(HANDLE wake = nullptr) : wake_(wake) {}

    DWORD currentProcessId() override { return GetCurrentProcessId(); }

    std::unique_ptr<SharedBlock> openSharedBlock(const char* name) override {
        const DWORD access = FILE_MAP_READ | FILE_MAP_WRITE;
        win::UniqueKernelHandle mapping(OpenFileMappingA(access, FALSE, name));
        if (!mapping) return nullptr;
        win::UniqueView view(MapViewOfFile(mapping.get(), access, 0, 0, 0));
        if (!view) return nullptr;
        return std::make_unique<WinSharedBlock>(std::move(mapping), std::move(view));
    }

    bool signalEvent(const char* name) override {
        win::UniqueKernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
        return event && SetEvent(event.get());
    }

    bool forEachProcess(const char* imageName, const ProcessVisitor& visit) override {
        win::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return false;
        PROCESSENTRY32 process;
        process.dwSize = sizeof process;
        for (BOOL more = Process32First(snapshot.get(), &process); more;
             more = Process32Next(snapshot.get(), &process)) {
            if (lstrcmpiA(fileNameOf(process.szExeFile), imageName) != 0) continue;
            MODULEENTRY32 module;
            if (mainModuleOf(process.th32ProcessID, module) && visit(process.th32ProcessID, module.szExePath)) break;
        }
        return true;
    }

    std::unique_ptr<Process> openProcess(DWORD id) override {
        // SYNCHRONIZE: exit is told by waiting on the process; an ended
        // process stays openable while anyone holds a handle to it.
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) return nullptr;
        return std::make_unique<WinProcess>(process, wake_);
    }

    HWND findWindow(const char* className) override { return FindWindowExA(nullptr, nullptr, className, nullptr); }

    void postMessage(HWND window, UINT message) override { PostMessageA(window, message, 0, 0); }

    void sleep(DWORD ms) override { sleepUnless(wake_, ms); }

private:
    HANDLE wake_;  // not owned
};

}  // namespace

ProcessPlatform& ProcessPlatform::real() {
    static WinProcessPlatform platform;
    return platform;
}

std::unique_ptr<ProcessPlatform> ProcessPlatform::interruptible(HANDLE wake) {
    return std::make_unique<WinProcessPlatform>(wake);
}
