// A few threads that copy while the worker goes on down the list: on a
// share most of a copy is waiting for the network.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CopyPool {
public:
    // On a share with 1 ms of latency 2 threads gained most, 4 a little more.
    static constexpr std::size_t kThreads = 4;

    // No more threads than tasks; with one or none, tasks run on the caller.
    // Threads that cannot be started are done without: the pool works with
    // those it got, or on the caller.
    CopyPool(std::size_t tasks, std::size_t threads = kThreads);
    // Drops the tasks not started (only an exception leaves any behind:
    // finish waits for them) and waits for those running.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Queues a task; waits while the queue is full, so the caller stays only
    // a few files ahead of the copies. Rethrows, on the caller's thread, what
    // a task threw before (a stop unwinding the pass, or any failure); no
    // task starts after one has thrown.
    void run(std::function<void()> task);
    // Waits until every queued task has run; rethrows as run does.
    void finish();

private:
    void serve() noexcept;
    void rethrow();  // with lock_ held

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    bool closing_ = false;
    std::size_t running_ = 0;
    std::exception_ptr thrown_;
    std::vector<std::thread> threads_;
};
