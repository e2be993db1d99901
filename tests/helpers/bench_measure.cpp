// Starts a command line, waits for it and prints its wall time in
// milliseconds and its peak working set and peak pagefile usage in bytes.
// Usage: bench_measure OUTFILE COMMAND-LINE...
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Counters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage, QuotaPeakNonPagedPoolUsage,
        QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};
using GetMemoryInfo = BOOL(WINAPI*)(HANDLE, Counters*, DWORD);

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string command;
    for (int i = 2; i < argc; ++i) {
        if (i > 2) command += ' ';
        // Quotes only where needed: tolvaren reads its INI name up to the first blank.
        std::string arg = argv[i];
        command += arg.find(' ') == std::string::npos ? arg : "\"" + arg + "\"";
    }
    auto query = reinterpret_cast<GetMemoryInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    // The child reads and writes NUL: a console tool must neither wait for
    // input nor write into a handle that is not there.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 3;
    // The peaks are sampled while it runs too, in case the finished process
    // no longer answers.
    Counters peak{};
    while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
        Counters c{};
        c.cb = sizeof c;
        if (query && query(pi.hProcess, &c, sizeof c)) {
            if (c.PeakWorkingSetSize > peak.PeakWorkingSetSize) peak.PeakWorkingSetSize = c.PeakWorkingSetSize;
            if (c.PeakPagefileUsage > peak.PeakPagefileUsage) peak.PeakPagefileUsage = c.PeakPagefileUsage;
        }
    }
    QueryPerformanceCounter(&end);
    Counters c{};
    c.cb = sizeof c;
    if (query && query(pi.hProcess, &c, sizeof c)) {
        if (c.PeakWorkingSetSize > peak.PeakWorkingSetSize) peak.PeakWorkingSetSize = c.PeakWorkingSetSize;
        if (c.PeakPagefileUsage > peak.PeakPagefileUsage) peak.PeakPagefileUsage = c.PeakPagefileUsage;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(nul);
    long long ms = (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 4;
    std::fprintf(out, "%lld %lu %lu\n", ms, static_cast<unsigned long>(peak.PeakWorkingSetSize),
                 static_cast<unsigned long>(peak.PeakPagefileUsage));
    std::fclose(out);
    return 0;
}
