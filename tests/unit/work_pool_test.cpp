// The pool behind the copies and the listings made ahead: the order tasks
// start in, the owner's bounds, failures handed back, teardown.
#include <gtest/gtest.h>

#include <windows.h>
#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fsops/work_pool.h"

namespace {

// The owner lets tasks start one budget unit at a time; taking a unit is
// what starting a task means, so nothing starts beyond it.
struct Budget {
    std::size_t left = 0;
    std::function<bool()> mayStart() {
        return [this] { return left > 0 ? (--left, true) : false; };
    }
};

}  // namespace

TEST(WorkPool, TasksStartInQueueOrderAndOnlyAsTheOwnerAllows) {
    Budget budget;
    std::vector<std::string> started;
    WorkPool pool(3, budget.mayStart());
    ASSERT_EQ(pool.threads(), 3u);
    auto task = [&](const char* name) { return [&, name] { pool.locked([&] { started.push_back(name); }); }; };
    for (const char* name : {"r1", "r2", "r3"}) pool.run(task(name));
    pool.runFirst({task("f1"), task("f2")});
    pool.runFirst({task("g1")});
    pool.runLast(task("l1"));  // behind the others, though the queue is full

    // The queue holds as many as there are threads: a fourth run waits for a
    // place, which only a started task frees.
    std::atomic<bool> fourthQueued{false};
    std::thread owner([&] {
        pool.run(task("r4"));
        fourthQueued = true;
    });
    Sleep(100);
    EXPECT_FALSE(fourthQueued);
    EXPECT_TRUE(pool.locked([&] { return started.empty(); }));

    for (std::size_t n = 1; n <= 8; ++n) {
        pool.locked([&] { budget.left = 1; });
        pool.when([&] { return started.size() == n; }, [] {});
    }
    owner.join();
    EXPECT_TRUE(fourthQueued);
    pool.finish();
    EXPECT_EQ(started, (std::vector<std::string>{"g1", "f1", "f2", "r1", "r2", "r3", "l1", "r4"}));
}

TEST(WorkPool, TheFirstFailureReachesTheOwnerAtEveryCallAndNothingStartsAfterIt) {
    Budget budget;
    budget.left = 1;
    std::atomic<int> ranAfter{0};
    {
        WorkPool pool(2, budget.mayStart());
        pool.runFirst({[] { throw std::runtime_error("first"); }, [&] { ++ranAfter; }, [&] { ++ranAfter; }});
        auto failure = [](const std::function<void()>& call) {
            try {
                call();
            } catch (const std::runtime_error& e) {
                return std::string(e.what());
            }
            return std::string("nothing thrown");
        };
        EXPECT_EQ(failure([&] { pool.finish(); }), "first");
        pool.locked([&] { budget.left = 10; });  // allowed now, yet never started
        EXPECT_EQ(failure([&] { pool.run([&] { ++ranAfter; }); }), "first");
        EXPECT_EQ(failure([&] { pool.runFirst({[&] { ++ranAfter; }}); }), "first");
        EXPECT_EQ(failure([&] { pool.when([] { return true; }, [] {}); }), "first");
        EXPECT_EQ(failure([&] { pool.finish(); }), "first");
    }
    EXPECT_EQ(ranAfter, 0);
}

// Teardown drops what has not started and waits for what has.
TEST(WorkPool, DestructionDropsUnstartedTasksAndJoinsRunningOnes) {
    Budget budget;
    budget.left = 1;
    bool began = false;
    std::atomic<bool> finished{false};
    std::atomic<int> ranAfter{0};
    {
        WorkPool pool(2, budget.mayStart());
        pool.runFirst({[&] {
                           pool.locked([&] { began = true; });
                           Sleep(200);
                           finished = true;
                       },
                       [&] { ++ranAfter; }, [&] { ++ranAfter; }});
        pool.when([&] { return began; }, [] {});
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(ranAfter, 0);
}

// Beside an owner that goes on, one thread is started; beside one that
// waits, it would gain nothing.
TEST(WorkPool, WithFewerThanTwoThreadsTheCallerRunsEachTask) {
    WorkPool beside(1, {}, WorkPool::Owner::GoesOn);
    EXPECT_EQ(beside.threads(), 1u);
    for (std::size_t threads : {0u, 1u}) {
        WorkPool pool(threads);
        EXPECT_EQ(pool.threads(), 0u);
        DWORD ranOn = 0;
        pool.run([&] { ranOn = GetCurrentThreadId(); });
        EXPECT_EQ(ranOn, GetCurrentThreadId());
        EXPECT_THROW(pool.run([] { throw std::runtime_error("here"); }), std::runtime_error);
        pool.finish();
    }
}
