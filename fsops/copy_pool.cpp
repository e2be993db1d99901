#include "fsops/copy_pool.h"

#include <algorithm>

CopyPool::CopyPool(std::size_t tasks, std::size_t threads) {
    std::size_t n = std::min(threads, tasks);
    if (n > 1)
        for (std::size_t i = 0; i < n; ++i) threads_.emplace_back([this] { serve(); });
}

CopyPool::~CopyPool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void CopyPool::run(std::function<void()> task) {
    if (threads_.empty()) return task();
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return queue_.size() < threads_.size(); });
    queue_.push_back(std::move(task));
    hold.unlock();
    changed_.notify_all();
}

void CopyPool::serve() {
    for (;;) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;  // closing and nothing left
        std::function<void()> task = std::move(queue_.front());
        queue_.pop_front();
        hold.unlock();
        changed_.notify_all();
        task();
    }
}
