// The running-application check on real processes under Wine: the helper
// programs of tests/helpers stand in for the managed application, the
// companion monitor and a launcher that prepares the start-up handshake.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "support/test_support.h"
#include "core/worker_gate.h"
#include "win/fixed_text.h"
#include "win/unique_handle.h"
#include "worker/process_platform.h"
#include "worker/running_check.h"

namespace {

// A started program; ended by force if it still runs when the test is over.
class Child {
public:
    explicit Child(std::string commandLine) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            throw std::runtime_error("cannot start " + commandLine);
        process_.reset(pi.hProcess);
        CloseHandle(pi.hThread);
        id_ = pi.dwProcessId;
    }
    ~Child() {
        if (running()) TerminateProcess(process_.get(), 99);
    }
    DWORD id() const { return id_; }
    bool running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // Exit code, or -1 when the program has not ended within ms.
    long exitCode(DWORD ms) const {
        if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }

private:
    win::UniqueKernelHandle process_;
    DWORD id_ = 0;
};

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

void copyHelper(const std::string& helper, const std::string& to) {
    test::makeDirs(to.substr(0, to.rfind('\\')));
    ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\" + helper).c_str(), to.c_str(), FALSE)) << to;
}

// Polls until the process running from path shows up in a snapshot.
DWORD waitUntilListed(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (DWORD id = findProcessByPath(ProcessPlatform::real(), path.c_str())) return id;
        Sleep(100);
    }
    return 0;
}

// Waits for a file that its writer makes appear whole.
std::string waitForFile(const std::string& path, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 100) {
        if (test::fileExists(path)) return test::readFile(path);
        Sleep(100);
    }
    return "";
}

TEST(RunningCheckOnWine, ApplicationStartedFromTheDestinationIsRunning) {
    test::TempDir dir;
    const std::string dest = dir / "ДАРВ Клиент";
    copyHelper("fakeapp.exe", dest + "\\darv.exe");
    copyHelper("fakeapp.exe", dest + "\\short.exe");
    Child app(quoted(dest + "\\darv.exe") + " 60000");
    ASSERT_EQ(waitUntilListed(dest + "\\darv.exe"), app.id());

    // Cyrillic letters do not fold: the same directory in lower case is another path.
    std::string lower = dir / "дарв клиент\\darv.exe";
    EXPECT_EQ(findProcessByPath(ProcessPlatform::real(), lower.c_str()), 0u);
    std::string upperAscii = dest + "\\DARV.EXE";
    EXPECT_EQ(findProcessByPath(ProcessPlatform::real(), upperAscii.c_str()), app.id());

    SettingsRecord settings;
    WorkerGate gate;
    win::copyText(settings.destDir, (dest + "\\").c_str());
    win::copyText(settings.runningCheckPath, "darv.exe");
    EXPECT_TRUE(isApplicationRunning(settings, nullptr, gate));
    EXPECT_TRUE(app.running());

    // One that quits within the five seconds is not running.
    Child brief(quoted(dest + "\\short.exe") + " 1500");
    ASSERT_EQ(waitUntilListed(dest + "\\short.exe"), brief.id());
    win::copyText(settings.runningCheckPath, "short.exe");
    EXPECT_FALSE(isApplicationRunning(settings, nullptr, gate));
}

TEST(RunningCheckOnWine, MonitorFromTheDestinationQuitsOnItsMessage) {
    test::TempDir dir;
    const std::string dest = dir / "Клиент";
    const std::string other = dir / "Другой";
    copyHelper("monitor.exe", dest + "\\Кронваль\\DarvMon.exe");
    copyHelper("fakeapp.exe", other + "\\Кронваль\\DarvMon.exe");
    Child monitor(quoted(dest + "\\Кронваль\\DarvMon.exe"));
    Child stranger(quoted(other + "\\Кронваль\\DarvMon.exe") + " 60000");
    HWND window = nullptr;
    for (int i = 0; i < 100 && !window; ++i, Sleep(100))
        window = FindWindowExA(nullptr, nullptr, "MonitoringWindowClass", nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(waitUntilListed(other + "\\Кронваль\\DarvMon.exe"), 0u);

    SettingsRecord settings;
    WorkerGate gate;
    win::copyText(settings.destDir, (dest + "\\").c_str());
    EXPECT_FALSE(isApplicationRunning(settings, nullptr, gate));
    EXPECT_EQ(monitor.exitCode(5000), 40);  // quit on the message, not ended by force
    EXPECT_TRUE(stranger.running());
}

TEST(RunningCheckOnWine, LauncherGetsItsEventSetAndIsWaitedFor) {
    test::TempDir dir;
    const std::string handshake = quoted(test::buildFile("helpers\\handshake.exe"));
    const std::string checkrun = quoted(test::buildFile("helpers\\checkrun.exe"));
    const std::string dest = dir / "Клиент";
    test::makeDirs(dest);

    // The launcher ends 1.5 s after its event is set; this test keeps a
    // handle to it, so it stays openable: only the wait tells it has ended.
    Child launcher(handshake + " block " + quoted(dir / "event.txt") + " " + checkrun + " " +
                   quoted(dir / "check.txt") + " " + quoted(dest));
    EXPECT_EQ(launcher.exitCode(40000), 0);
    EXPECT_EQ(test::readFile(dir / "event.txt"), "set\n");
    std::string check = waitForFile(dir / "check.txt", 30000);
    int running = -1;
    unsigned long took = 0;
    ASSERT_EQ(std::sscanf(check.c_str(), "%d %lu", &running, &took), 2) << check;
    EXPECT_EQ(running, 0);
    EXPECT_GE(took, 1000u);   // it waited for the launcher...
    EXPECT_LT(took, 20000u);  // ...and saw it end, far from the minute of polls

    // Without the block the child leaves the event alone.
    Child eventOnly(handshake + " event-only " + quoted(dir / "event2.txt") + " " + checkrun + " " +
                    quoted(dir / "check2.txt") + " " + quoted(dest));
    EXPECT_EQ(eventOnly.exitCode(40000), 1);
    EXPECT_EQ(test::readFile(dir / "event2.txt"), "not set\n");
    EXPECT_EQ(waitForFile(dir / "check2.txt", 30000).substr(0, 2), "0 ");
}

}  // namespace
