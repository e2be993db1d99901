// The abort question and a confirmed stop meet every deletion: the root
// check's cut stage deletes nothing while the question is open and nothing
// after Yes, and writes no further stage line; after No it goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "support/pass_fixture.h"
#include "win/fixed_text.h"
#include "worker/worker.h"

namespace {

// The user presses Esc as the first cut entry is about to go: the window
// pauses the worker, then the user answers.
class EscAtFirstDeletion : public test::WindowsLikeCalls {
public:
    EscAtFirstDeletion(WorkerGate& gate, bool yes) : gate_(gate), yes_(yes) {}
    HANDLE openForDeletion(const wchar_t* path) override {
        if (!asked_.exchange(true)) {
            gate_.pause();
            answer_ = std::thread([this] {
                Sleep(200);  // the question stays open a while
                if (yes_)
                    gate_.stop();
                else
                    gate_.resume();
            });
        }
        return WindowsLikeCalls::openForDeletion(path);
    }
    BOOL deleteOpened(HANDLE item, DWORD attributes) override {
        if (gate_.paused()) ++whilePaused;
        return WindowsLikeCalls::deleteOpened(item, attributes);
    }
    ~EscAtFirstDeletion() override {
        if (answer_.joinable()) answer_.join();
    }
    std::atomic<int> whilePaused{0};

private:
    WorkerGate& gate_;
    bool yes_;
    std::atomic<bool> asked_{false};
    std::thread answer_;
};

}  // namespace

TEST(StopAtDeletions, EscDuringTheRootChecksCutStage) {
    for (bool yes : {true, false}) {
        test::EngineTrees t;
        test::StreamCapture streams;
        t.put(t.src, "app.txt", 100);  // newer: the root check finds work
        for (const char* cut : {"c1", "c2", "c3"}) t.put(t.dst, std::string(cut) + "\\f.txt");
        t.run.settings.rootOnly = true;
        t.run.settings.cutList = {"c1", "c2", "c3"};
        win::copyText(t.run.settings.runCommand, "nothing-to-start.exe");
        EscAtFirstDeletion calls(t.run.gate, yes);
        t.run.fs = &calls;

        bool launched = runWorker(t.run.worker(), nullptr);
        t.run.fs = &FileSystemCalls::real();
        EXPECT_EQ(calls.whilePaused, 0);  // the gate held every deletion while asked
        std::vector<std::string> out = streams.out();
        if (yes) {
            EXPECT_FALSE(launched);
            for (const char* cut : {"c1", "c2", "c3"}) EXPECT_TRUE(test::fileExists(t.dst + "\\" + cut)) << cut;
            EXPECT_FALSE(test::fileExists(t.dst + "\\app.txt"));
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out.back(), "удаление 'вырезаемых' файлов из реестра синхронизации");  // nothing after it
        } else {
            for (const char* cut : {"c1", "c2", "c3"}) EXPECT_FALSE(test::fileExists(t.dst + "\\" + cut)) << cut;
            EXPECT_EQ(test::readFile(t.dst + "\\app.txt"), "app.txt");
        }
    }
}
