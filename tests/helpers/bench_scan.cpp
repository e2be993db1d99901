// Times the scan and comparison of growing trees and prints the cost per
// file and the peak memory. Usage: bench_scan [work directory]
#include <windows.h>

#include <cstdio>
#include <string>

#include "sync/compare.h"
#include "sync/registry.h"
#include "sync/scan.h"
#include "sync/sync_engine.h"

extern "C" BOOL WINAPI K32GetProcessMemoryInfo(HANDLE, void*, DWORD);

namespace {

struct MemoryCounters {  // PROCESS_MEMORY_COUNTERS
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

void touch(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

// files spread over directories of perDir files, nested `depth` levels.
void buildTree(const std::string& root, int files, int perDir, int depth) {
    CreateDirectoryA(root.c_str(), nullptr);
    int made = 0;
    for (int dir = 0; made < files; ++dir) {
        std::string path = root;
        for (int level = 0; level < depth; ++level) {
            path += "\\d" + std::to_string(level == depth - 1 ? dir : dir % 4);
            CreateDirectoryA(path.c_str(), nullptr);
        }
        for (int i = 0; i < perDir && made < files; ++i, ++made) touch(path + "\\файл" + std::to_string(i) + ".dat");
    }
}

void removeTreeQuick(const std::string& path) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = d.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = path + "\\" + n;
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTreeQuick(p);
            else DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

double seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

void run(const std::string& work, const char* label, int files, int perDir, int depth) {
    std::string src = work + "\\src", dst = work + "\\dst";
    buildTree(src, files, perDir, depth);
    buildTree(dst, files, perDir, depth);
    SyncEngine engine;
    std::snprintf(engine.settings.sourceDir, kPathBuffer, "%s\\", src.c_str());
    std::snprintf(engine.settings.destDir, kPathBuffer, "%s\\", dst.c_str());
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    {
        SyncRegistry source, dest;
        sourceScan(engine, source, false);
        mirrorStructure(dest.root, source.root);
        destinationScan(engine, dest, source, false);
        compareTrees(source.root, dest.root);
    }
    QueryPerformanceCounter(&t1);
    MemoryCounters m{};
    m.cb = sizeof m;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    double s = seconds(t0, t1);
    std::printf("%-28s %7d files  %7.3f s  %6.2f us/file  peak working set %6.1f MiB  peak pagefile %6.1f MiB\n",
                label, files, s, s * 1e6 / files, m.PeakWorkingSetSize / 1048576.0, m.PeakPagefileUsage / 1048576.0);
    std::fflush(stdout);
    removeTreeQuick(src);
    removeTreeQuick(dst);
}

}  // namespace

int main(int argc, char** argv) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string work = argc > 1 ? argv[1] : std::string(temp) + "tolvaren-bench-scan";
    CreateDirectoryA(work.c_str(), nullptr);
    for (int files : {1000, 10000, 30000, 100000}) run(work, "tree, 100 files a directory", files, 100, 2);
    run(work, "flat directory", 50000, 50000, 1);
    run(work, "tree 10 levels deep", 20000, 50, 10);
    RemoveDirectoryA(work.c_str());
    return 0;
}
