#include "fsops/copy_pool.h"

#include <algorithm>
#include <utility>

#include "fsops/thread_start.h"

CopyPool::CopyPool(std::size_t tasks, std::size_t threads) {
    std::size_t n = std::min(threads, tasks);
    if (n > 1) startThreads(threads_, n, [this] { serve(); });
}

CopyPool::~CopyPool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void CopyPool::rethrow() {
    if (!thrown_) return;
    queue_.clear();
    std::rethrow_exception(std::exchange(thrown_, nullptr));
}

void CopyPool::run(std::function<void()> task) {
    if (threads_.empty()) return task();
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return thrown_ || queue_.size() < threads_.size(); });
    rethrow();
    queue_.push_back(std::move(task));
    hold.unlock();
    changed_.notify_all();
}

void CopyPool::finish() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return thrown_ || (queue_.empty() && running_ == 0); });
    rethrow();
}

// Whatever a task or the thread itself throws goes to the caller's thread,
// which unwinds the pass from there; the thread ends quietly.
void CopyPool::serve() noexcept {
    std::unique_lock<std::mutex> hold(lock_, std::defer_lock);
    try {
        for (;;) {
            hold.lock();
            changed_.wait(hold, [&] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;  // closing and nothing left
            std::function<void()> task = std::move(queue_.front());
            queue_.pop_front();
            ++running_;
            hold.unlock();
            changed_.notify_all();
            std::exception_ptr thrown;
            try {
                task();
            } catch (...) {
                thrown = std::current_exception();
            }
            hold.lock();
            --running_;
            if (thrown) {
                if (!thrown_) thrown_ = thrown;
                queue_.clear();  // a failed pass copies nothing more
            }
            hold.unlock();
            changed_.notify_all();
        }
    } catch (...) {
        if (!hold.owns_lock()) hold.lock();
        if (!thrown_) thrown_ = std::current_exception();
        queue_.clear();
        hold.unlock();
        changed_.notify_all();
    }
}
