// The platform calls of the running-application check, behind an interface
// so the check's decisions and timing can be driven by fake processes and a
// fake clock. Every opened object closes itself in its destructor.
#pragma once

#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>

class ProcessPlatform {
public:
    // A process opened for waiting and termination.
    class Process {
    public:
        virtual ~Process() = default;
        // Waits up to ms milliseconds; true once the process has ended.
        // Cut short (false) when the platform's wake event is signalled.
        virtual bool waitForExit(DWORD ms) = 0;
        virtual void terminate() = 0;  // exit code 0
    };

    // A named file mapping, opened and mapped for reading and writing.
    class SharedBlock {
    public:
        virtual ~SharedBlock() = default;
        virtual uint32_t readProcessId() = 0;  // bytes 0 to 3, little-endian
    };

    // Gets each process's identifier and main-module path, in snapshot
    // order; returning true stops the walk.
    using ProcessVisitor = std::function<bool(DWORD id, const char* mainModule)>;

    virtual ~ProcessPlatform() = default;

    virtual DWORD currentProcessId() = 0;
    // Null when the block does not exist or cannot be mapped.
    virtual std::unique_ptr<SharedBlock> openSharedBlock(const char* name) = 0;
    // Opens the named event and sets it; false when there is no such event.
    virtual bool signalEvent(const char* name) = 0;
    // Only processes whose image file name equals imageName in any letter
    // case are visited (reading every process's modules is slow); processes
    // whose modules cannot be read are passed over. False when no process
    // snapshot could be taken.
    virtual bool forEachProcess(const char* imageName, const ProcessVisitor& visit) = 0;
    // Null when the process cannot be opened (it counts as gone).
    virtual std::unique_ptr<Process> openProcess(DWORD id) = 0;
    // The first top-level window of the class, or null.
    virtual HWND findWindow(const char* className) = 0;
    // Whether a file exists: a program that is not there cannot be running.
    virtual bool fileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
    virtual void postMessage(HWND window, UINT message) = 0;  // both parameters 0
    virtual void sleep(DWORD ms) = 0;

    // The calls as Windows answers them.
    static ProcessPlatform& real();
    // The same calls, whose sleeps and waits end early once wake is
    // signalled (a stopped run).
    static std::unique_ptr<ProcessPlatform> interruptible(HANDLE wake);
};

// The part of a path after its last backslash.
const char* fileNameOf(const char* path);
