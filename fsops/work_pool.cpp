#include "fsops/work_pool.h"

#include <utility>

WorkPool::WorkPool(std::size_t threads, std::function<bool()> mayStart, Owner owner) : mayStart_(std::move(mayStart)) {
    if (threads < (owner == Owner::GoesOn ? 1u : 2u)) return;
    // Stops at the first thread that cannot be started (the process is short
    // of threads, address space or memory). A std::thread left joinable in a
    // constructor that throws would end the process instead.
    try {
        threads_.reserve(threads);
        for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
    } catch (...) {}
}

WorkPool::~WorkPool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkPool::rethrow() const {
    if (thrown_) std::rethrow_exception(thrown_);
}

void WorkPool::run(Task task) {
    if (threads_.empty()) return task();
    when([&] { return queue_.size() < threads_.size(); }, [&] { queue_.push_back(std::move(task)); });
}

void WorkPool::runFirst(std::vector<Task> tasks) {
    when([] { return true; },
         [&] {
             queue_.insert(queue_.begin(), std::make_move_iterator(tasks.begin()),
                           std::make_move_iterator(tasks.end()));
         });
}

void WorkPool::runLast(Task task) {
    if (threads_.empty()) return task();
    when([] { return true; }, [&] { queue_.push_back(std::move(task)); });
}

void WorkPool::finish() {
    when([&] { return queue_.empty() && running_ == 0; }, [] {});
}

// Whatever a task or the thread itself throws goes to the owner's thread,
// which unwinds from there; the thread ends quietly, and so do the others.
void WorkPool::serve() noexcept {
    std::unique_lock<std::mutex> hold(lock_, std::defer_lock);
    try {
        hold.lock();
        for (;;) {
            changed_.wait(hold,
                          [&] { return closing_ || thrown_ || (!queue_.empty() && (!mayStart_ || mayStart_())); });
            if (closing_ || thrown_) return;
            Task task = std::move(queue_.front());
            queue_.pop_front();
            ++running_;
            hold.unlock();
            changed_.notify_all();  // a place in the queue is free
            std::exception_ptr failed;
            try {
                task();
            } catch (...) {
                failed = std::current_exception();
            }
            task = nullptr;  // what it holds goes outside the lock
            hold.lock();
            --running_;
            if (failed && !thrown_) thrown_ = failed;
            if (thrown_) queue_.clear();  // a failed pass or scan starts nothing more
            hold.unlock();
            changed_.notify_all();
            hold.lock();
        }
    } catch (...) {
        if (!hold.owns_lock()) hold.lock();
        if (!thrown_) thrown_ = std::current_exception();
        queue_.clear();
        hold.unlock();
        changed_.notify_all();
    }
}
