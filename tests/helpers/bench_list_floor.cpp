// The floor of a run that changes nothing: lists both trees with
// FindFirstFileA/FindNextFileA and nothing else.
// Usage: bench_list_floor [-threads N] ROOT...
// With -threads N the directories are shared out among N threads, the best
// any parallel listing in one process can do on this platform.
#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Lists one directory: counts its files, hands back its subdirectories.
long long listDirectory(const std::string& dir, std::vector<std::string>& subdirectories) {
    long long files = 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "*.*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++files;
        else if (std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0)
            subdirectories.push_back(dir + data.cFileName + "\\");
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return files;
}

long long listTree(const std::string& dir) {
    std::vector<std::string> subdirectories;
    long long files = listDirectory(dir, subdirectories);
    for (const std::string& s : subdirectories) files += listTree(s);
    return files;
}

class ParallelListing {
public:
    long long run(std::vector<std::string> roots, int threads) {
        waiting_ = std::move(roots);
        std::vector<std::thread> pool;
        for (int i = 0; i < threads; ++i) pool.emplace_back([this] { serve(); });
        for (std::thread& t : pool) t.join();
        return files_;
    }

private:
    void serve() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            changed_.wait(hold, [&] { return !waiting_.empty() || busy_ == 0; });
            if (waiting_.empty()) return;
            std::string dir = std::move(waiting_.back());
            waiting_.pop_back();
            ++busy_;
            hold.unlock();
            std::vector<std::string> subdirectories;
            long long files = listDirectory(dir, subdirectories);
            hold.lock();
            --busy_;
            files_ += files;
            waiting_.insert(waiting_.end(), subdirectories.begin(), subdirectories.end());
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> waiting_;
    int busy_ = 0;
    long long files_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    int threads = 0;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "-threads") == 0) {
        threads = std::atoi(argv[2]);
        first = 3;
    }
    std::vector<std::string> roots;
    for (int i = first; i < argc; ++i) {
        std::string root = argv[i];
        if (!root.empty() && root.back() != '\\') root += '\\';
        roots.push_back(root);
    }
    long long total = 0;
    if (threads > 0) {
        total = ParallelListing().run(roots, threads);
    } else {
        for (const std::string& root : roots) total += listTree(root);
    }
    std::printf("%lld\n", total);
    return 0;
}
