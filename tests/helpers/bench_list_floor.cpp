// The floor of a run that changes nothing: lists both trees with
// FindFirstFileA/FindNextFileA and nothing else. Usage: bench_list_floor SRC DST
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

long long listTree(const std::string& dir) {
    long long files = 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "*.*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++files;
        } else if (std::string(data.cFileName) != "." && std::string(data.cFileName) != "..") {
            files += listTree(dir + data.cFileName + "\\");
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    long long total = 0;
    for (int i = 1; i < argc; ++i) {
        std::string root = argv[i];
        if (!root.empty() && root.back() != '\\') root += '\\';
        total += listTree(root);
    }
    std::printf("%lld\n", total);
    return 0;
}
