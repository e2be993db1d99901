// Esc at random moments of real runs of tolvaren.exe, in every phase (the
// running check with the application running, scanning, copying), answered
// Yes or No in the real question, or stopping a quiet run. No run may hang;
// while asked the worker stands still and asks nothing over the question;
// after an abort nothing more is asked, written or started, and the program
// is gone within half a second.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const char* const kAbortCaption = "Синхронизация файлов и каталогов";
const char* const kWorkerCaption = "Синхронизация";

enum Phase { Check, Scanning, Copying, Finished };
const char* const kPhaseNames[] = {"running check", "scanning", "copying", "finished"};

// The phase of a run, told by its statistics log: nothing before the pass,
// stage lines while scanning, copies after the heading of the work.
Phase phaseOf(const std::string& dest) {
    std::vector<std::string> lines = test::readLines(dest + "\\tolvaren.out");
    if (lines.empty()) return Check;
    if (lines.back().rfind("Выполнение команды", 0) == 0) return Finished;
    bool copying = std::find(lines.begin(), lines.end(), "собственно, синхронизация:") != lines.end();
    return copying ? Copying : Scanning;
}

template <typename Done>
bool waitUntil(Done done, DWORD ms) {
    for (DWORD start = GetTickCount();; Sleep(5)) {
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
    }
}

// An Esc `delay` ms after the run reached `phase` (in the running check: of
// the run's own time, the time it stood still while asked not counted),
// answered after `hold` ms.
struct Esc {
    Phase phase;
    DWORD delay;
    bool yes;
    DWORD hold;
};

class AbortStress : public testing::Test {
protected:
    void SetUp() override {
        unsigned seed = GetTickCount();
        std::printf("seed %u\n", seed);
        rng.seed(seed);
        // 1,500 directories of one file: scanning and copying take long
        // enough here for an Esc to land inside each.
        for (int d = 0; d < 1500; ++d)
            test::writeFile(src + "\\Папка " + std::to_string(d / 20) + "\\" + std::to_string(d % 20) + "\\файл.txt",
                            std::string(200 + d, 'x'));
        test::makeDirs(tmp / "app");
        ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\fakeapp.exe").c_str(), app.c_str(), FALSE));
    }

    // Starts a run into dest and finds its window; the application named by
    // ПроверятьЗапущеноЛиУже may run.
    std::unique_ptr<test::Process> start(const std::string& dest, bool quiet, HWND& splash) {
        test::writeFile(tmp / "stress.ini",
                        "[Основные параметры]\r\nКаталогИсточник=" + src + "\r\nКаталогПриемник=" + dest +
                            "\r\nВыводитьСтатистикуСинхронизации=да\r\nПроверятьЗапущеноЛиУже=" + app +
                            "\r\nВыполнить=" + test::buildFile("helpers\\recordcwd.exe") +
                            "\r\nКоманднаяСтрока=" + dest + "-started.txt\r\n");
        auto p = std::make_unique<test::Process>(
            "\"" + test::buildFile("tolvaren.exe") + "\" stress.ini" + (quiet ? " /n" : ""), tmp.path());
        splash = nullptr;
        waitUntil([&] {
            splash = FindWindowA("tolvaren.v2", nullptr);
            DWORD owner = 0;
            if (splash) GetWindowThreadProcessId(splash, &owner);
            return owner == p->id() && IsWindowVisible(splash);
        }, 20000);
        return p;
    }

    // One run with the given Esc presses; without any, starts gets when each
    // phase began.
    void run(const std::string& dest, const std::vector<Esc>& escapes, bool quiet, DWORD* starts = nullptr) {
        HWND splash;
        auto p = start(dest, quiet, splash);
        ASSERT_TRUE(splash);
        DWORD base = GetTickCount();  // the run's own time is GetTickCount() - base
        bool aborted = false;
        Phase abortedIn = Finished;
        for (const Esc& esc : escapes) {
            DWORD from = base;
            if (esc.phase != Check) {
                waitUntil([&] { return phaseOf(dest) >= esc.phase || !p->running(); }, 30000);
                from = GetTickCount();
            }
            waitUntil([&] { return !p->running(); }, esc.delay - std::min(esc.delay, GetTickCount() - from));
            if (!p->running()) break;
            Phase phase = phaseOf(dest);
            bool workerAsks = test::findMessageBox(p->id(), kWorkerCaption) != nullptr;
            PostMessageA(splash, WM_CHAR, 27, 0);
            DWORD pressed = GetTickCount();
            HWND box = nullptr;
            if (!quiet)
                waitUntil([&] { return (box = test::findMessageBox(p->id(), kAbortCaption)) || !p->running(); },
                          workerAsks ? 300 : 5000);
            if (!quiet && !box) {
                // Only while the worker asks its own question is Esc ignored.
                ASSERT_TRUE(!p->running() || workerAsks) << "no question for Esc in " << kPhaseNames[phase];
                ++ignored;
                continue;
            }
            if (box) {
                ASSERT_FALSE(workerAsks) << "a question over the worker's own";
                int before = static_cast<int>(test::readLines(dest + "\\tolvaren.out").size());
                Sleep(esc.hold);
                EXPECT_LE(test::readLines(dest + "\\tolvaren.out").size(), before + 1u)
                    << "the worker went on while asked, " << kPhaseNames[phase];
                EXPECT_EQ(test::findMessageBox(p->id(), kWorkerCaption), nullptr)
                    << "the worker asked over the question";
                test::pressButton(box, esc.yes ? IDYES : IDNO);
                pressed = GetTickCount();
            }
            ++trials[phase][quiet || esc.yes];
            if (!quiet && !esc.yes) {
                if (esc.phase == Check) base = GetTickCount() - esc.delay;  // it goes on from there
                continue;
            }
            bool askedAfter = false;
            ASSERT_TRUE(waitUntil([&] {
                askedAfter |= test::findMessageBox(p->id(), kWorkerCaption) != nullptr;
                return !p->running();
            }, 10000)) << "hung after the abort in " << kPhaseNames[phase];
            slowest = std::max(slowest, GetTickCount() - pressed);
            EXPECT_FALSE(askedAfter) << "a question after the abort in " << kPhaseNames[phase];
            aborted = true;
            abortedIn = phase;
            break;
        }
        // Not aborted: the run ends by itself; the worker's question (the
        // application runs) is answered No.
        ASSERT_TRUE(waitUntil([&] {
            if (HWND box = test::findMessageBox(p->id(), kWorkerCaption)) test::pressButton(box, IDNO);
            for (int phase = phaseOf(dest); starts && phase > Check && !starts[phase]; --phase)
                starts[phase] = GetTickCount() - base;
            return !p->running();
        }, 30000)) << "hung at the end of a run";
        EXPECT_EQ(p->wait(0), 0);
        Sleep(300);  // a command started at the very end has written its marker by now
        std::string errors = test::readFile(dest + "\\tolvaren.err");
        EXPECT_EQ(errors.find("В процессе синхронизации возникли ошибки"), std::string::npos);
        if (aborted) {
            EXPECT_FALSE(test::fileExists(dest + "-started.txt"))
                << "started after an abort in " << kPhaseNames[abortedIn];
            if (abortedIn != Check) {
                EXPECT_EQ(errors, "") << "error text after an abort";
            }
        }
    }

    DWORD random(DWORD from, DWORD to) { return std::uniform_int_distribution<DWORD>(from, to)(rng); }

    test::TempDir tmp;
    std::string src = tmp / "Источник";
    std::string app = tmp / "app\\Клиент.exe";
    std::mt19937 rng;
    int trials[Finished + 1][2] = {};  // [phase][No, or Yes and quiet]
    int ignored = 0;
    DWORD slowest = 0;
};

}  // namespace

TEST_F(AbortStress, EscAtRandomMomentsOfEveryPhaseNeverHangsAndStopsAtOnce) {
    // Without Esc the run copies everything and starts the command; it tells
    // how long each phase lasts here.
    DWORD starts[Finished + 1] = {};
    run(tmp / "первый", {}, false, starts);
    ASSERT_TRUE(test::fileExists(tmp / "первый-started.txt"));
    ASSERT_TRUE(starts[Scanning] && starts[Copying] > starts[Scanning] && starts[Finished] > starts[Copying]);
    // Within the first three fifths of the phase, so that it is still under way.
    auto at = [&](Phase phase, bool yes) {
        return Esc{phase, random(0, (starts[phase + 1] - starts[phase]) * 3 / 5), yes, random(50, 250)};
    };

    // An Esc at a random moment of each phase, answered No until the one
    // answered Yes (in turn: none, the running check, scanning, copying).
    for (int i = 0; i < 12; ++i) {
        int yesAt = i % 4 - 1;
        run(tmp / ("приемник " + std::to_string(i)),
            {at(Check, yesAt == 0), at(Scanning, yesAt == 1), at(Copying, yesAt == 2)}, false);
    }
    for (Phase phase : {Check, Scanning, Copying})
        run(tmp / ("тихо " + std::to_string(phase)), {at(phase, true)}, true);

    // The application runs: the check watches it for about five seconds, then
    // the worker asks whether to start the command anyway. Asked longer than
    // the check lasts, the worker stands still and asks nothing over it.
    test::Process application("\"" + app + "\" 600000", tmp.path());
    ASSERT_TRUE(application.started());
    const std::string busy = tmp / "занят";
    run(busy, {{Check, random(0, 1000), false, 5500}, {Check, random(1000, 4000), true, 100}}, false);
    run(busy, {{Check, random(0, 2500), false, 100}, {Check, random(2500, 4800), true, 100}}, false);
    run(busy, {{Check, random(0, 4800), true, 0}}, true);

    // Esc while the worker asks does nothing; the window closed from outside
    // withdraws the worker's question (No), and nothing is started.
    HWND splash;
    auto p = start(busy, false, splash);
    ASSERT_TRUE(waitUntil([&] { return test::findMessageBox(p->id(), kWorkerCaption) != nullptr; }, 15000));
    PostMessageA(splash, WM_CHAR, 27, 0);
    Sleep(300);
    EXPECT_EQ(test::findMessageBox(p->id(), kAbortCaption), nullptr);
    PostMessageA(splash, WM_CLOSE, 0, 0);
    EXPECT_EQ(p->wait(1000), 0);
    Sleep(300);
    EXPECT_FALSE(test::fileExists(busy + "-started.txt"));

    for (int phase : {Check, Scanning, Copying}) {
        std::printf("%-14s No %2d  Yes or quiet %2d\n", kPhaseNames[phase], trials[phase][0], trials[phase][1]);
        EXPECT_GE(trials[phase][0], 2) << kPhaseNames[phase];
        EXPECT_GE(trials[phase][1], 2) << kPhaseNames[phase];
    }
    std::printf("%d Esc ignored while the worker asked; the slowest end took %lu ms\n", ignored,
                static_cast<unsigned long>(slowest));
    EXPECT_LE(slowest, 500u);
}
