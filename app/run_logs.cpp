#include "app/run_logs.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

std::string logPath(const SettingsRecord& settings, const char* name) { return std::string(settings.destDir) + name; }

// The stream's position, or -1 when it cannot be read.
long long positionOf(FILE* stream) {
    fpos_t position;
    return std::fgetpos(stream, &position) == 0 ? static_cast<long long>(position) : -1;
}

// Creates the log empty. Its handle is not inheritable, and it lets others
// delete the file: a handle to it that got out (a copy of it in another
// process, a viewer that shares deletion) cannot keep an empty log from
// being removed at the end.
HANDLE createLog(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Puts the C stream, as a text stream, on the file. The descriptor's handle
// stays out of every child: it is made not inheritable.
bool attach(FILE* stream, HANDLE file) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(file);
        return false;
    }
    // The stream may have been closed by an earlier run: reopen it on
    // anything, then put the log under it.
    bool attached = std::freopen("NUL", "wt", stream) && _dup2(fd, _fileno(stream)) == 0;
    _close(fd);
    if (attached)
        SetHandleInformation(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), HANDLE_FLAG_INHERIT, 0);
    return attached;
}

// Opens one log; a log that cannot be opened loses its writes.
bool openLog(const std::string& path, FILE* stream) {
    HANDLE file = createLog(path);
    if (file != INVALID_HANDLE_VALUE && attach(stream, file)) return true;
    std::freopen("NUL", "wt", stream);
    return false;
}

// The process's standard handles as they were before the logs. The runtime
// publishes the handles of descriptors 0 to 2 there, and whatever the
// process starts later may be given them: under Wine the desktop process
// that the first window starts is, and keeps the log open for good.
class StandardHandles {
public:
    StandardHandles()
        : in_(GetStdHandle(STD_INPUT_HANDLE)),
          out_(GetStdHandle(STD_OUTPUT_HANDLE)),
          err_(GetStdHandle(STD_ERROR_HANDLE)) {}
    void restore() const {
        SetStdHandle(STD_INPUT_HANDLE, in_);
        SetStdHandle(STD_OUTPUT_HANDLE, out_);
        SetStdHandle(STD_ERROR_HANDLE, err_);
    }

private:
    HANDLE in_, out_, err_;
};

// The size the file has on disk, or -1; needs no lock of the runtime.
long long sizeOnDisk(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

void RunLogs::open() {
    StandardHandles before;
    statisticsOpened_ = openLog(logPath(settings_, "tolvaren.out"), stdout);
    statisticsOpen_ = statisticsOpened_;
    errorsOpen_ = openLog(logPath(settings_, "tolvaren.err"), stderr);
    before.restore();
    // A write before this point (to a stream a windowed program lacks) may
    // have failed and left the C++ streams refusing everything.
    std::cout.clear();
    std::cerr.clear();
}

void RunLogs::closeStatistics() {
    if (!statisticsOpen_) return;
    std::cout.flush();
    std::fclose(stdout);
    statisticsOpen_ = false;
}

void RunLogs::close() {
    // The statistics stream may still be open when the run ended before the
    // statistics switch; it is closed in any case so an empty log can go.
    bool statisticsEmpty = true;
    if (statisticsOpen_) {
        std::cout.flush();
        statisticsEmpty = !settings_.writeStatistics || positionOf(stdout) == 0;
        closeStatistics();
    }
    if (errorsOpen_) {
        std::cerr.flush();
        bool errorsEmpty = positionOf(stderr) == 0;
        std::fclose(stderr);
        errorsOpen_ = false;
        if (errorsEmpty) DeleteFileA(logPath(settings_, "tolvaren.err").c_str());
    }
    if (statisticsOpened_ && statisticsEmpty) DeleteFileA(logPath(settings_, "tolvaren.out").c_str());
    statisticsOpened_ = false;
}

void RunLogs::abandon() const {
    if (errorsOpen_ && sizeOnDisk(logPath(settings_, "tolvaren.err")) == 0)
        DeleteFileA(logPath(settings_, "tolvaren.err").c_str());
    std::string out = logPath(settings_, "tolvaren.out");
    if (statisticsOpened_ && (!settings_.writeStatistics || sizeOnDisk(out) == 0)) DeleteFileA(out.c_str());
}
