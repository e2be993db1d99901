#include "app/destination_lock.h"

#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <vector>


namespace {

// A kernel object name holds no backslash and at most MAX_PATH characters,
// so the key is hashed (64-bit FNV-1a).
std::string mutexName(const std::string& key) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "tolvaren.destination.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

std::string destinationKey(const char* destination) {
    if (!destination[0]) return std::string();
    std::vector<char> full(GetFullPathNameA(destination, 0, nullptr, nullptr) + 1);
    DWORD n = GetFullPathNameA(destination, static_cast<DWORD>(full.size()), full.data(), nullptr);
    std::string key = n > 0 && n < full.size() ? std::string(full.data(), n) : std::string(destination);
    while (key.size() > 1 && key.back() == '\\') key.pop_back();
    if (!key.empty()) CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

DestinationLock::DestinationLock(const std::string& destination) {
    std::string key = destinationKey(destination.c_str());
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
