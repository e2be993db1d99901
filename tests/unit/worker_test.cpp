// What the worker does after the running check and the pass: the outcome
// table, with scripted answers, real trees, a real stand-in application and
// a real started command.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/show_message.h"
#include "support/test_support.h"
#include "support/pass_fixture.h"
#include "win/fixed_text.h"
#include "worker/worker.h"

namespace {

// A program started in the background and ended with the test.
class Background {
public:
    explicit Background(const std::string& commandLine) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string cmd = commandLine;
        started_ = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
    }
    ~Background() {
        if (!started_) return;
        TerminateProcess(pi_.hProcess, 0);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    bool started() const { return started_; }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

class QuietMode {
public:
    explicit QuietMode(bool on) { quietMode = on; }
    ~QuietMode() { quietMode = false; }
};

class WorkerTest : public testing::Test {
protected:
    void SetUp() override {
        test::resetBoxes();
        test::makeDirs(tmp / "src");
        test::makeDirs(tmp / "dst");
        test::writeFile(tmp / "src\\a.txt", "a");
        CopyFileA(test::buildFile("helpers\\recordcwd.exe").c_str(), (tmp / "dst\\start.exe").c_str(), FALSE);
        win::copyText(parts.settings.sourceDir, (tmp / "src\\").c_str());
        win::copyText(parts.settings.destDir, (tmp / "dst\\").c_str());
        win::copyText(parts.settings.runCommand, "start.exe");
        win::copyText(parts.settings.commandArguments, marker().c_str());
        win::copyText(parts.settings.runningCheckPath, "darv.exe");
        parts.settings.ignoreList = {"start.exe", "darv.exe"};
    }
    void TearDown() override { test::resetBoxes(); }

    std::string marker() const { return tmp / "started.txt"; }
    // Asked once runWorker has returned: the shell has created the command's
    // process by then, which writes the marker before it ends.
    bool commandStarted() const { return test::commandStarted(tmp / "dst\\start.exe", marker()); }
    void failThePass() { win::copyText(parts.settings.sourceDir, (tmp / "missing\\").c_str()); }
    std::string applicationQuestionPath() const { return "\"" + tmp / "dst\\darv.exe\"?"; }

    test::TempDir tmp;
    test::RunParts parts;
};

TEST_F(WorkerTest, PassWithoutErrorsStartsTheCommandWithoutAsking) {
    QuietMode quiet(false);
    EXPECT_TRUE(runWorker(parts.worker(), nullptr));
    EXPECT_TRUE(commandStarted());
    EXPECT_TRUE(test::fileExists(tmp / "dst\\a.txt"));
    EXPECT_TRUE(test::boxCalls().empty());
}

TEST_F(WorkerTest, FailedPassAsksAndStartsOnlyOnYes) {
    failThePass();
    QuietMode quiet(false);
    test::queueBoxAnswer(IDNO);
    EXPECT_FALSE(runWorker(parts.worker(), nullptr));
    ASSERT_EQ(test::boxCalls().size(), 1u);
    const test::BoxCall& box = test::boxCalls()[0];
    EXPECT_EQ(box.text, "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n" + applicationQuestionPath());
    EXPECT_EQ(box.caption, "Синхронизация");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_FALSE(commandStarted());

    test::queueBoxAnswer(IDYES);
    EXPECT_TRUE(runWorker(parts.worker(), nullptr));
    EXPECT_TRUE(commandStarted());
}

TEST_F(WorkerTest, FailedPassWithoutTheQuestionTellsAndStartsNothing) {
    failThePass();
    parts.settings.askOnError = false;
    {
        QuietMode quiet(false);
        EXPECT_FALSE(runWorker(parts.worker(), nullptr));
        ASSERT_EQ(test::boxCalls().size(), 1u);
        EXPECT_EQ(test::boxCalls()[0].text, "В процессе синхронизации возникли ошибки.\nПрограмма будет закрыта.");
        EXPECT_EQ(test::boxCalls()[0].type, static_cast<UINT>(MB_ICONWARNING));
    }
    {
        QuietMode quiet(true);
        test::CaptureStderr err;
        EXPECT_FALSE(runWorker(parts.worker(), nullptr));
        // The error stream is a text stream: its line feeds are written as CR LF.
        EXPECT_NE(err.text().find("В процессе синхронизации возникли ошибки.\r\nПрограмма будет закрыта."),
                  std::string::npos);
    }
    EXPECT_EQ(test::boxCalls().size(), 1u);  // the quiet run showed nothing
    EXPECT_FALSE(commandStarted());
}

TEST_F(WorkerTest, QuietFailedPassAsksNothingAndStartsNothing) {
    failThePass();
    QuietMode quiet(true);
    EXPECT_FALSE(runWorker(parts.worker(), nullptr));
    EXPECT_TRUE(test::boxCalls().empty());
    EXPECT_FALSE(commandStarted());
}

TEST_F(WorkerTest, QuestionNamesTheDestinationAloneWhenNoApplicationIsChecked) {
    failThePass();
    parts.settings.runningCheckPath[0] = '\0';
    QuietMode quiet(false);
    test::queueBoxAnswer(IDNO);
    runWorker(parts.worker(), nullptr);
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text,
              "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n\"" + tmp / "dst\\\"?");
}

TEST_F(WorkerTest, RunningApplicationBlocksTheSyncAndAsks) {
    CopyFileA(test::buildFile("helpers\\fakeapp.exe").c_str(), (tmp / "dst\\darv.exe").c_str(), FALSE);
    Background app("\"" + tmp / "dst\\darv.exe\" 60000");
    ASSERT_TRUE(app.started());
    {
        QuietMode quiet(true);
        test::CaptureStderr err;
        EXPECT_FALSE(runWorker(parts.worker(), nullptr));
        EXPECT_NE(err.text().find("Ошибка: приложение уже запущено, синхронизация невозможна"), std::string::npos);
        EXPECT_TRUE(test::boxCalls().empty());
    }
    {
        QuietMode quiet(false);
        test::queueBoxAnswer(IDYES);
        EXPECT_TRUE(runWorker(parts.worker(), nullptr));
        ASSERT_EQ(test::boxCalls().size(), 1u);
        EXPECT_EQ(
            test::boxCalls()[0].text,
            "Приложение уже запущено, синхронизация невозможна!\nПопытаться выполнить\n" + applicationQuestionPath());
        EXPECT_TRUE(commandStarted());
    }
    EXPECT_FALSE(test::fileExists(tmp / "dst\\a.txt"));  // nothing was synchronised
}

TEST_F(WorkerTest, AbortConfirmedDuringThePassStartsNothing) {
    parts.gate.stop();
    QuietMode quiet(true);
    EXPECT_FALSE(runWorker(parts.worker(), nullptr));
    EXPECT_FALSE(test::fileExists(tmp / "dst\\a.txt"));
    EXPECT_FALSE(commandStarted());
}

}  // namespace
