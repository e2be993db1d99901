#include "app/destination_lock.h"

#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fsops/final_path.h"

namespace {

// A kernel object name holds no backslash and at most MAX_PATH characters,
// so the key is hashed (64-bit FNV-1a over the UTF-16 units).
std::string mutexName(const std::wstring& key) {
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : key) {
        hash = (hash ^ (c & 0xFF)) * 1099511628211ull;
        hash = (hash ^ ((c >> 8) & 0xFF)) * 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "tolvaren.destination.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// A path canonicalPath refuses (".." above the root, a name ending with a
// dot): the text as the system makes it absolute, folded.
std::wstring textualKey(const char* destination) {
    std::vector<char> full(GetFullPathNameA(destination, 0, nullptr, nullptr) + 1);
    DWORD n = GetFullPathNameA(destination, static_cast<DWORD>(full.size()), full.data(), nullptr);
    std::string text = n > 0 && n < full.size() ? std::string(full.data(), n) : std::string(destination);
    while (text.size() > 1 && text.back() == '\\') text.pop_back();
    std::wstring key(text.size(), L'\0');
    int m = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &key[0],
                                static_cast<int>(key.size()));
    key.resize(m > 0 ? m : 0);
    if (!key.empty()) CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace

std::wstring destinationKey(const char* destination) {
    if (!destination[0]) return std::wstring();
    std::wstring key;
    if (canonicalPath(destination, key) && !key.empty()) return key;
    return textualKey(destination);
}

DestinationLock::DestinationLock(const std::string& destination) {
    std::wstring key = destinationKey(destination.c_str());
    // Nothing to lock (the settings report it), or no lock to be had: the
    // run goes on as it would without one.
    owned_ = true;
    if (key.empty()) return;
    mutex_.reset(CreateMutexA(nullptr, FALSE, mutexName(key).c_str()));
    if (!mutex_) return;
    // Only a time-out means another run; abandoned, the run that held it
    // ended without releasing it.
    owned_ = WaitForSingleObject(mutex_.get(), 0) != WAIT_TIMEOUT;
}

DestinationLock::~DestinationLock() {
    if (owned_ && mutex_) ReleaseMutex(mutex_.get());
}
