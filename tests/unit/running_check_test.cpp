// The running-application check driven by fake processes on a fake clock:
// every wait and sleep advances the clock instead of taking time.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "win/fixed_text.h"
#include "worker/application_path.h"
#include "worker/process_platform.h"
#include "worker/running_check.h"

namespace {

constexpr uint64_t kNever = UINT64_MAX;
constexpr DWORD kSelf = 4242;
constexpr UINT kMonitorQuit = 0x40A;
HWND const kMonitorWindow = reinterpret_cast<HWND>(0x5150);

struct FakeProcess {
    DWORD id;
    std::string mainModule;
    uint64_t end = kNever;  // ends by itself at this time
    bool modulesReadable = true;
    bool openable = true;         // an ended process stays openable while handles to it exist
    bool hasWindow = false;       // owns the MonitoringWindowClass window
    uint64_t quitDelay = kNever;  // ends this long after the quit message
    bool terminated = false;
};

class FakePlatform : public ProcessPlatform {
public:
    uint64_t now = 0;
    std::vector<FakeProcess> processes;
    std::map<std::string, uint32_t> blocks;  // mapping name -> identifier stored in it
    std::set<std::string> events;            // events that exist
    std::vector<std::string> eventOpens;     // every attempt to open an event
    std::vector<std::string> eventsSet;
    std::vector<DWORD> opened, terminated;
    std::vector<std::pair<HWND, UINT>> posted;
    std::vector<DWORD> sleeps;
    int snapshots = 0;
    int moduleReads = 0;
    bool snapshotFails = false;

    FakeProcess& add(DWORD id, const std::string& module) {
        processes.push_back({id, module});
        return processes.back();
    }
    FakeProcess* find(DWORD id) {
        for (auto& p : processes)
            if (p.id == id) return &p;
        return nullptr;
    }
    bool alive(const FakeProcess& p) const { return now < p.end; }

    DWORD currentProcessId() override { return kSelf; }

    std::unique_ptr<SharedBlock> openSharedBlock(const char* name) override {
        auto it = blocks.find(name);
        if (it == blocks.end()) return nullptr;
        return std::make_unique<Block>(it->second);
    }

    bool signalEvent(const char* name) override {
        eventOpens.push_back(name);
        if (!events.count(name)) return false;
        eventsSet.push_back(name);
        return true;
    }

    bool forEachProcess(const char* imageName, const ProcessVisitor& visit) override {
        ++snapshots;
        if (snapshotFails) return false;
        for (auto& p : processes) {
            if (!alive(p) || lstrcmpiA(fileNameOf(p.mainModule.c_str()), imageName) != 0) continue;
            ++moduleReads;
            if (p.modulesReadable && visit(p.id, p.mainModule.c_str())) break;
        }
        return true;
    }

    std::unique_ptr<Process> openProcess(DWORD id) override {
        FakeProcess* p = find(id);
        if (!p || !p->openable) return nullptr;
        opened.push_back(id);
        return std::make_unique<Opened>(*this, id);
    }

    bool fileExists(const char* path) override { return monitorInstalled || !strstr(path, "DarvMon.exe"); }
    bool monitorInstalled = true;
    HWND findWindow(const char* className) override {
        if (std::string(className) != "MonitoringWindowClass") return nullptr;
        for (auto& p : processes)
            if (p.hasWindow && alive(p)) return kMonitorWindow;
        return nullptr;
    }

    void postMessage(HWND window, UINT message) override {
        posted.push_back({window, message});
        for (auto& p : processes)
            if (window == kMonitorWindow && message == kMonitorQuit && p.hasWindow && alive(p) && p.quitDelay != kNever)
                p.end = std::min(p.end, now + p.quitDelay);
    }

    void sleep(DWORD ms) override {
        sleeps.push_back(ms);
        now += ms;
    }

private:
    struct Block : SharedBlock {
        explicit Block(uint32_t id) : id(id) {}
        uint32_t readProcessId() override { return id; }
        uint32_t id;
    };

    struct Opened : Process {
        Opened(FakePlatform& platform, DWORD id) : platform(platform), id(id) {}
        bool waitForExit(DWORD ms) override {
            FakeProcess& p = *platform.find(id);
            if (p.end <= platform.now + ms) {
                platform.now = std::max(platform.now, p.end);
                return true;
            }
            platform.now += ms;
            return false;
        }
        void terminate() override {
            FakeProcess& p = *platform.find(id);
            p.terminated = true;
            p.end = std::min(p.end, platform.now);
            platform.terminated.push_back(id);
        }
        FakePlatform& platform;
        DWORD id;
    };
};

const std::string kDest = "C:\\ДАРВ Клиент\\";
const std::string kBlock = "4242Tolvaren";
const std::string kEvent = "4242TolvarenCheckStart";

struct RunningCheck : ::testing::Test {
    FakePlatform platform;
    SettingsRecord settings;
    WorkerGate gate;
    RunningCheck() { win::copyText(settings.destDir, kDest.c_str()); }
    bool run(const char* runningCheckPath = "") {
        win::copyText(settings.runningCheckPath, runningCheckPath);
        return isApplicationRunning(settings, &platform, gate);
    }
};

TEST_F(RunningCheck, WithoutABlockTheEventIsNeverOpened) {
    platform.events.insert(kEvent);
    platform.add(77, "C:\\launcher.exe");
    EXPECT_FALSE(run());
    EXPECT_TRUE(platform.eventOpens.empty());
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_EQ(platform.now, 0u);
}

TEST_F(RunningCheck, HandshakeCostsNoWaitForAnEndedOrUnknownProcess) {
    platform.events.insert(kEvent);
    platform.add(77, "C:\\launcher.exe").end = 0;  // ended, still openable through another handle
    platform.blocks[kBlock] = 77;
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.eventsSet, std::vector<std::string>{kEvent});
    EXPECT_EQ(platform.opened, std::vector<DWORD>{77});
    EXPECT_TRUE(platform.terminated.empty());
    EXPECT_EQ(platform.now, 0u);

    platform.blocks[kBlock] = 78;  // no such process: it counts as gone
    platform.find(77)->openable = false;
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.eventsSet.size(), 2u);
    EXPECT_EQ(platform.now, 0u);

    platform.blocks[kBlock] = kSelf;  // never wait for (and end) this very process
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.now, 0u);
    EXPECT_TRUE(platform.terminated.empty());
}

TEST_F(RunningCheck, HandshakeWaitsTwoMinutesOfPollsThenTerminates) {
    platform.blocks[kBlock] = 77;  // no event exists: the wait happens all the same
    platform.add(77, "C:\\launcher.exe").end = 30 * 500;
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.eventOpens, std::vector<std::string>{kEvent});
    EXPECT_TRUE(platform.eventsSet.empty());
    EXPECT_EQ(platform.now, 15000u);
    EXPECT_TRUE(platform.terminated.empty());

    platform.now = 0;
    platform.processes.clear();
    platform.add(77, "C:\\launcher.exe");  // never ends by itself
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.now, 120u * 500);
    EXPECT_EQ(platform.terminated, std::vector<DWORD>{77});
}

TEST_F(RunningCheck, MonitorFromTheDestinationIsAskedToQuit) {
    platform.add(10, "D:\\Другой\\Кронваль\\DarvMon.exe").hasWindow = true;
    FakeProcess& monitor = platform.add(11, kDest + "Кронваль\\DarvMon.exe");
    monitor.hasWindow = true;
    monitor.quitDelay = 1200;
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.posted, (std::vector<std::pair<HWND, UINT>>{{kMonitorWindow, kMonitorQuit}}));
    EXPECT_EQ(platform.opened, std::vector<DWORD>{11});
    EXPECT_TRUE(platform.terminated.empty());
    EXPECT_EQ(platform.now, 1200u);

    // Without the monitor's program in the destination no snapshot is taken for it.
    platform.monitorInstalled = false;
    platform.snapshots = 0;
    platform.posted.clear();
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.snapshots, 0);
    EXPECT_TRUE(platform.posted.empty());
}

TEST_F(RunningCheck, MonitorThatStaysIsEndedAfterTwentyPolls) {
    platform.add(11, kDest + "Кронваль\\DarvMon.exe").hasWindow = true;  // ignores the message
    EXPECT_FALSE(run());
    EXPECT_EQ(platform.posted.size(), 1u);
    EXPECT_EQ(platform.terminated, std::vector<DWORD>{11});
    EXPECT_EQ(platform.now, 20u * 500);

    platform.now = 0;
    platform.processes.clear();
    platform.posted.clear();
    platform.terminated.clear();
    platform.add(12, kDest + "Кронваль\\DarvMon.exe");  // no window at all
    EXPECT_FALSE(run());
    EXPECT_TRUE(platform.posted.empty());
    EXPECT_EQ(platform.terminated, std::vector<DWORD>{12});
    EXPECT_EQ(platform.now, 20u * 500);
}

TEST_F(RunningCheck, ApplicationMustBeSeenTenTimesHalfASecondApart) {
    platform.add(20, kDest + "darv.exe");
    EXPECT_TRUE(run("darv.exe"));
    EXPECT_EQ(platform.sleeps, std::vector<DWORD>(10, 500));
    EXPECT_EQ(platform.snapshots, 1 + 10);  // the monitor's look, then ten sightings

    // Quitting within the five seconds counts as not running.
    platform.now = 0;
    platform.sleeps.clear();
    platform.find(20)->end = 4400;
    EXPECT_FALSE(run("darv.exe"));
    EXPECT_EQ(platform.sleeps, std::vector<DWORD>(9, 500));
    EXPECT_EQ(platform.now, 4500u);
}

TEST_F(RunningCheck, PathComparisonFoldsOnlyAsciiLetters) {
    platform.add(20, "C:\\ДАРВ Клиент\\darv.exe");
    win::copyText(settings.destDir, "C:\\дарв клиент\\");
    EXPECT_FALSE(run("darv.exe"));
    EXPECT_TRUE(platform.sleeps.empty());

    win::copyText(settings.destDir, "c:\\ДАРВ Клиент\\");
    EXPECT_TRUE(run("DARV.EXE"));

    // A drive-absolute setting is used as it is, whatever destDir says.
    platform.add(21, "D:\\app\\x.exe");
    EXPECT_EQ(findProcessByPath(platform, "d:\\APP\\X.EXE"), 21u);
    platform.now = 0;
    platform.sleeps.clear();
    EXPECT_TRUE(run("D:\\app\\x.exe"));
}

TEST_F(RunningCheck, FindsTheFirstReadableProcessInSnapshotOrder) {
    platform.add(30, "C:\\app\\darv.exe").modulesReadable = false;
    platform.add(31, "C:\\app\\darv.exe");
    platform.add(32, "C:\\app\\darv.exe");
    EXPECT_EQ(findProcessByPath(platform, "C:\\app\\darv.exe"), 31u);
    EXPECT_EQ(findProcessByPath(platform, "C:\\app\\other.exe"), 0u);
    platform.snapshotFails = true;
    EXPECT_EQ(findProcessByPath(platform, "C:\\app\\darv.exe"), 0u);

    // Without a snapshot nothing counts as running, and nothing is waited for.
    EXPECT_FALSE(run("C:\\app\\darv.exe"));
    EXPECT_TRUE(platform.sleeps.empty());

    // A process that cannot be opened is gone: no wait, no termination.
    platform.find(31)->openable = false;
    WorkerGate gate;
    waitOrTerminate(platform, 31, 500, 120, gate);
    EXPECT_TRUE(platform.terminated.empty());
    EXPECT_EQ(platform.now, 0u);
}

TEST_F(RunningCheck, EmptySettingStillRunsHandshakeAndMonitor) {
    platform.events.insert(kEvent);
    platform.blocks[kBlock] = 77;
    platform.add(77, "C:\\launcher.exe").end = 1000;
    FakeProcess& monitor = platform.add(11, kDest + "Кронваль\\DarvMon.exe");
    monitor.hasWindow = true;
    monitor.quitDelay = 700;
    platform.add(20, kDest + "darv.exe");
    EXPECT_FALSE(run(""));
    EXPECT_EQ(platform.eventsSet, std::vector<std::string>{kEvent});
    EXPECT_EQ(platform.posted.size(), 1u);
    EXPECT_EQ(platform.now, 1000u + 700u);
    EXPECT_EQ(platform.snapshots, 1);  // only the monitor was looked for
    EXPECT_TRUE(platform.sleeps.empty());
}

TEST_F(RunningCheck, PathsThatWouldNotFitAreRefused) {
    std::string dir = "C:\\" + std::string(1000, 'd') + "\\";  // 1004 characters
    win::copyText(settings.destDir, dir.c_str());
    win::copyText(settings.runningCheckPath, std::string(19, 'a').c_str());
    char path[kPathBuffer];
    ASSERT_TRUE(applicationPath(settings, path));  // exactly 1023
    EXPECT_EQ(std::string(path), dir + std::string(19, 'a'));
    win::copyText(settings.runningCheckPath, std::string(20, 'a').c_str());
    EXPECT_FALSE(applicationPath(settings, path));
    EXPECT_EQ(path[0], '\0');

    // The monitor's path (20 more characters) and the application's both
    // pass the limit: nothing is looked for at all.
    std::string tooLong = "C:\\" + std::string(1001, 'd') + "\\";
    win::copyText(settings.destDir, tooLong.c_str());
    platform.add(20, tooLong + "darv.exe");
    EXPECT_FALSE(run(std::string(20, 'a').c_str()));
    EXPECT_EQ(platform.snapshots, 0);
}

TEST(FindProcessByPath, ReadsTheModulesOfSameNamedProcessesOnly) {
    FakePlatform platform;
    platform.add(10, "C:\\Windows\\explorer.exe");
    platform.add(11, "C:\\Другой\\DARV.EXE");
    platform.add(12, "C:\\Windows\\services.exe");
    platform.add(13, "C:\\ДАРВ Клиент\\darv.exe");
    EXPECT_EQ(findProcessByPath(platform, "C:\\ДАРВ Клиент\\DARV.exe"), 13u);
    EXPECT_EQ(platform.moduleReads, 2);  // 11 and 13: the image names match in any case
}

}  // namespace
