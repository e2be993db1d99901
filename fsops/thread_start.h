// Starting the threads of a pool without ever leaving it half made.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

// Starts up to count threads running body and stops at the first that cannot
// be started (the process is short of threads, address space or memory):
// the pool then works with those it got, or with none. A std::thread left
// joinable in a constructor that throws would end the process instead.
template <typename Body>
void startThreads(std::vector<std::thread>& threads, std::size_t count, const Body& body) noexcept {
    try {
        threads.reserve(count);
        for (std::size_t i = 0; i < count; ++i) threads.emplace_back(body);
    } catch (...) {
    }
}
