// A few threads that run queued tasks while their owner goes on: the copies
// of a pass and the listings made ahead of a scan. On a share most of either
// is waiting for the network.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkPool {
public:
    using Task = std::function<void()>;

    // From a share: with 1 ms of latency 2 threads gained most, 4 a little more.
    static constexpr std::size_t kShareThreads = 4;

    // Whether the owner waits for what its tasks make, or goes on with work
    // of its own meanwhile (a scan of one tree while the other is listed).
    enum class Owner { Waits, GoesOn };

    // Starts up to threads threads, none when fewer than two are asked for
    // by an owner that waits (one thread beside it gains nothing). Threads
    // that cannot be started are done without: the pool works with those it
    // got, or with none. A thread starts a queued task only while mayStart
    // (if given) holds; it is asked under the pool's lock, so what it reads
    // is changed through locked().
    explicit WorkPool(std::size_t threads, std::function<bool()> mayStart = {}, Owner owner = Owner::Waits);
    // Drops the tasks not started and waits for those running.
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    std::size_t threads() const { return threads_.size(); }

    // Runs task on the caller when no thread started. Otherwise queues it
    // behind the others once fewer tasks wait than there are threads, so the
    // caller stays only a few tasks ahead.
    void run(Task task);
    // Queues tasks ahead of those waiting, the first of them first.
    void runFirst(std::vector<Task> tasks);
    // As run, but queues task behind all others without waiting for a
    // place: for an owner that bounds what it queues itself.
    void runLast(Task task);
    // Waits until every queued task has run.
    void finish();

    // Runs f under the pool's lock, which also guards what the owner and its
    // tasks share, and wakes every waiting thread after it. Never rethrows:
    // tasks use it too.
    template <typename F>
    auto locked(F f) -> decltype(f());
    // Owner's thread: waits until ready() holds, then does as locked(f).
    template <typename Ready, typename F>
    auto when(Ready ready, F f) -> decltype(f());

    // run, runFirst, runLast, finish and when rethrow, on the owner's thread, the
    // first exception a task threw (a stop unwinding the pass, or any
    // failure), and at every call after; no task starts after one has thrown.

private:
    void serve() noexcept;
    void rethrow() const;  // with lock_ held
    template <typename F>
    auto wakeAfter(std::unique_lock<std::mutex>& hold, F& f) -> decltype(f());

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Task> queue_;
    std::size_t running_ = 0;
    std::exception_ptr thrown_;
    bool closing_ = false;
    std::function<bool()> mayStart_;
    std::vector<std::thread> threads_;  // last: started once the rest is made
};

// Waking after the lock is released spares the woken threads a wait for it;
// f's result is made first.
template <typename F>
auto WorkPool::wakeAfter(std::unique_lock<std::mutex>& hold, F& f) -> decltype(f()) {
    struct Wake {
        std::unique_lock<std::mutex>& hold;
        std::condition_variable& changed;
        ~Wake() {
            hold.unlock();
            changed.notify_all();
        }
    } wake{hold, changed_};
    return f();
}

template <typename F>
auto WorkPool::locked(F f) -> decltype(f()) {
    std::unique_lock<std::mutex> hold(lock_);
    return wakeAfter(hold, f);
}

template <typename Ready, typename F>
auto WorkPool::when(Ready ready, F f) -> decltype(f()) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return thrown_ || ready(); });
    rethrow();
    return wakeAfter(hold, f);
}
