// Times the scan and comparison of two equal trees (built by
// tools/bench/scan.sh) and prints the cost per file, the cost of the bare
// listing for comparison, and the peak memory.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sync/compare.h"
#include "sync/registry.h"
#include "sync/scan.h"
#include "sync/pass.h"

extern "C" BOOL WINAPI K32GetProcessMemoryInfo(HANDLE, void*, DWORD);

namespace {

struct MemoryCounters {  // PROCESS_MEMORY_COUNTERS
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage, QuotaPeakNonPagedPoolUsage,
        QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

// Lists a tree the way the scans do, without recording anything: the floor
// that the platform sets.
int listOnly(const std::string& dir) {
    int n = 0;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((dir + "*.*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++n;
        else if (std::string(d.cFileName) != "." && std::string(d.cFileName) != "..")
            n += listOnly(dir + d.cFileName + "\\");
    } while (FindNextFileA(h, &d));
    FindClose(h);
    return n;
}

double seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

}  // namespace

// Usage: bench_scan LABEL SOURCE DESTINATION (two trees with the same files)
int main(int argc, char** argv) {
    if (argc < 4) return 2;
    SettingsRecord settings;
    takeStartFacts(settings);
    std::snprintf(settings.sourceDir, kPathBuffer, "%s\\", argv[2]);
    std::snprintf(settings.destDir, kPathBuffer, "%s\\", argv[3]);
    int32_t errorCount = 0;
    WorkerGate gate;
    Pass pass(settings, PassTools{FileSystemCalls::real(), gate}, errorCount);
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    int files = listOnly(settings.sourceDir) + listOnly(settings.destDir);
    MemoryCounters before{};
    before.cb = sizeof before;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    QueryPerformanceCounter(&t1);
    {
        SyncRegistry source, dest;
        sourceScan(pass, source, false);
        mirrorStructure(dest.root, source.root);
        destinationScan(pass, dest, source, false);
        compareTrees(source.root, dest.root);
    }
    QueryPerformanceCounter(&t2);
    MemoryCounters m{};
    m.cb = sizeof m;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    files /= 2;
    double list = seconds(t0, t1), scan = seconds(t1, t2);
    // The peak working set over the one before the scans: the two
    // registries of every file and the comparison's indexes. (Wine keeps no
    // count of a process's own private bytes that follows its heap.)
    double grown =
        m.PeakWorkingSetSize > before.WorkingSetSize ? double(m.PeakWorkingSetSize - before.WorkingSetSize) : 0.0;
    std::printf(
        "%-24s %7d files  scan+compare %7.3f s = %5.1f us/file  (listing alone %5.1f us/file, "
        "own cost %5.1f us/file)  peak working set %6.1f MiB, registries %5.0f B/file\n",
        argv[1], files, scan, scan * 1e6 / files, list * 1e6 / files, (scan - list) * 1e6 / files,
        m.PeakWorkingSetSize / 1048576.0, grown / files);
    return errorCount == 0 ? 0 : 1;
}
