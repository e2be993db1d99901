// Esc at random moments of real runs of tolvaren.exe, in every phase (the
// running check with the application running, scanning, copying), answered
// Yes or No in the real question, or stopping a quiet run. No run may hang;
// while asked the worker stands still and asks nothing over the question;
// after an abort nothing more is asked, written or started, and the program
// is gone within half a second. The moments come from a seed that is
// printed; TOLVAREN_STRESS_SEED sets it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
    // The launch line, and after it the summary, end a run's log.
    for (auto line = lines.rbegin(); line != lines.rend() && line - lines.rbegin() < 2; ++line)
        if (line->rfind("Выполнение команды", 0) == 0 || line->rfind("Итого: ", 0) == 0) return Finished;
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

unsigned chooseSeed() {
    char text[32];
    DWORD n = GetEnvironmentVariableA("TOLVAREN_STRESS_SEED", text, sizeof text);
    if (n > 0 && n < sizeof text) return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
    return GetTickCount();
}

constexpr DWORD kUnset = MAXDWORD;
constexpr int kDirectories = 200;
std::string fileOf(int directory) {
    return "Папка " + std::to_string(directory / 20) + "\\" + std::to_string(directory % 20) + "\\файл.txt";
}

// Each run starts a command of its own, which writes a marker of its own.
std::string commandOf(const std::string& dest) { return dest + ".exe"; }
std::string markerOf(const std::string& dest) { return dest + "-started.txt"; }

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
        unsigned seed = chooseSeed();
        std::printf("seed %u (TOLVAREN_STRESS_SEED=%u repeats it)\n", seed, seed);
        rng.seed(seed);
        // 200 directories of one file and 2,000 empty ones: the worker starts
        // before the window is made, and scanning must still be under way
        // when it is; copying takes long enough here for an Esc to land inside.
        for (int d = 0; d < kDirectories; ++d) test::writeFile(src + "\\" + fileOf(d), std::string(200 + d, 'x'));
        ASSERT_TRUE(test::runUnixShell(src, "mkdir e && seq 2000 | sed s,^,e/, | xargs mkdir"));
        test::makeDirs(tmp / "app");
        ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\fakeapp.exe").c_str(), app.c_str(), FALSE));
    }

    // Starts a run into dest and finds its window; the application named by
    // ПроверятьЗапущеноЛиУже may run.
    std::unique_ptr<test::Process> start(const std::string& dest, bool quiet, HWND& splash) {
        EXPECT_TRUE(CopyFileA(test::buildFile("helpers\\recordcwd.exe").c_str(), commandOf(dest).c_str(), FALSE));
        test::writeFile(tmp / "stress.ini",
                        "[Основные параметры]\r\nКаталогИсточник=" + src + "\r\nКаталогПриемник=" + dest +
                            "\r\nВыводитьСтатистикуСинхронизации=да\r\nПроверятьЗапущеноЛиУже=" + app +
                            "\r\nВыполнить=" + commandOf(dest) + "\r\nКоманднаяСтрока=" + markerOf(dest) + "\r\n");
        auto p = std::make_unique<test::Process>(
            "\"" + test::buildFile("tolvaren.exe") + "\" stress.ini" + (quiet ? " /n" : ""), tmp.path());
        splash = nullptr;
        waitUntil(
            [&] {
                splash = FindWindowA("tolvaren.v2", nullptr);
                DWORD owner = 0;
                if (splash) GetWindowThreadProcessId(splash, &owner);
                return owner == p->id() && IsWindowVisible(splash);
            },
            20000);
        return p;
    }

    // One run with the given Esc presses; without any, starts gets when each
    // phase began (kUnset until seen).
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
            PostMessageA(splash, WM_CHAR, 27, 0);
            DWORD pressed = GetTickCount();
            HWND box = nullptr;
            if (!quiet) {
                // No question of the worker's own is up in these runs: every Esc asks.
                ASSERT_TRUE(
                    waitUntil([&] { return (box = test::findMessageBox(p->id(), kAbortCaption)) != nullptr; }, 5000))
                    << "no question for Esc in " << kPhaseNames[phase];
                int before = static_cast<int>(test::readLines(dest + "\\tolvaren.out").size());
                Sleep(esc.hold);
                EXPECT_LE(test::readLines(dest + "\\tolvaren.out").size(), before + 1u)
                    << "the worker went on while asked, " << kPhaseNames[phase];
                EXPECT_EQ(test::findMessageBox(p->id(), kWorkerCaption), nullptr)
                    << "the worker asked over the question";
                test::pressButton(box, esc.yes ? IDYES : IDNO);
                pressed = GetTickCount();
                // Gone before the next Esc, which would otherwise find it still closing.
                ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(box); }, 5000));
            }
            ++trials[phase][quiet || esc.yes];
            if (!quiet && !esc.yes) {
                if (esc.phase == Check) base = GetTickCount() - esc.delay;  // it goes on from there
                continue;
            }
            bool askedAfter = false;
            ASSERT_TRUE(waitUntil(
                [&] {
                    askedAfter |= test::findMessageBox(p->id(), kWorkerCaption) != nullptr;
                    return !p->running();
                },
                10000))
                << "hung after the abort in " << kPhaseNames[phase] << ", " << dest;
            slowest = std::max(slowest, GetTickCount() - pressed);
            EXPECT_FALSE(askedAfter) << "a question after the abort in " << kPhaseNames[phase];
            aborted = true;
            abortedIn = phase;
            break;
        }
        // Not aborted: the run ends by itself.
        ASSERT_TRUE(waitUntil(
            [&] {
                bool ended = !p->running();  // first: the log read after it is whole
                for (int phase = phaseOf(dest); starts && phase > Check && starts[phase] == kUnset; --phase)
                    starts[phase] = GetTickCount() - base;
                return ended;
            },
            30000))
            << "hung at the end of a run";
        EXPECT_EQ(p->wait(0), 0);
        std::string errors = test::readFile(dest + "\\tolvaren.err");
        EXPECT_EQ(errors.find("В процессе синхронизации возникли ошибки"), std::string::npos);
        // The run has ended: a command it started runs, or has written its marker.
        bool started = test::commandStarted(commandOf(dest), markerOf(dest));
        if (aborted) {
            EXPECT_FALSE(started) << "started after an abort in " << kPhaseNames[abortedIn];
            if (abortedIn != Check) {
                EXPECT_EQ(errors, "") << "error text after an abort";
            }
        } else {
            EXPECT_TRUE(started) << "a run not aborted started nothing";
        }
    }

    DWORD random(DWORD from, DWORD to) { return std::uniform_int_distribution<DWORD>(from, to)(rng); }

    test::TempDir tmp;
    std::string src = tmp / "Источник";
    std::string app = tmp / "app\\Клиент.exe";
    std::mt19937 rng;
    int trials[Finished + 1][2] = {};  // [phase][No, or Yes and quiet]
    DWORD slowest = 0;

    // The destinations go from the Unix side: Wine takes seconds for them.
    void TearDown() override { test::runUnixShell(tmp.path(), "rm -rf -- *"); }
};

}  // namespace

TEST_F(AbortStress, EscAtRandomMomentsOfEveryPhaseNeverHangsAndStopsAtOnce) {
    // Without Esc the run copies everything and starts the command; it tells
    // how long each phase lasts here.
    DWORD starts[Finished + 1] = {0, kUnset, kUnset, kUnset};
    run(tmp / "первый", {}, false, starts);
    std::printf("phases began at %lu %lu %lu ms after the window showed\n",
                static_cast<unsigned long>(starts[Scanning]), static_cast<unsigned long>(starts[Copying]),
                static_cast<unsigned long>(starts[Finished]));
    ASSERT_TRUE(starts[Copying] > starts[Scanning] && starts[Finished] > starts[Copying] && starts[Finished] != kUnset)
        << starts[Scanning] << " " << starts[Copying] << " " << starts[Finished];
    // Within the first three fifths of the phase, shared by the Escs in it,
    // so that it is still under way.
    auto at = [&](Phase phase, bool yes, DWORD share = 1) {
        return Esc{phase, random(0, (starts[phase + 1] - starts[phase]) * 3 / 5 / share), yes, random(30, 100)};
    };

    // Esc in each phase answered No, up to the one answered Yes, in scanning
    // or in copying: two in that phase, in its first three fifths.
    for (int i = 0; i < 4; ++i) {
        const Phase yesIn = i % 2 ? Copying : Scanning;
        std::vector<Esc> escapes;
        for (int phase = Check; phase <= yesIn; ++phase) escapes.push_back(at(static_cast<Phase>(phase), false, 2));
        escapes.push_back(at(yesIn, true, 2));
        run(tmp / ("приемник " + std::to_string(i)), escapes, false);
    }
    for (Phase phase : {Scanning, Copying}) run(tmp / ("тихо " + std::to_string(phase)), {at(phase, true)}, true);

    // A pass that fails (a directory stands where a file is to be copied):
    // asked in copying until past the time the rest of the copying took, the
    // worker stands still and asks nothing over the question; after No it
    // ends the pass and asks whether to start the command anyway.
    {
        const std::string failing = tmp / "ошибка";
        test::makeDirs(failing + "\\" + fileOf(kDirectories - 1));
        HWND splash;
        auto p = start(failing, false, splash);
        ASSERT_TRUE(splash);
        ASSERT_TRUE(waitUntil([&] { return phaseOf(failing) >= Copying; }, 30000));
        const DWORD copying = starts[Finished] - starts[Copying];
        Sleep(random(0, copying / 5));
        PostMessageA(splash, WM_CHAR, 27, 0);
        HWND box = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (box = test::findMessageBox(p->id(), kAbortCaption)) != nullptr; }, 5000));
        std::size_t before = test::readLines(failing + "\\tolvaren.out").size();
        Sleep(copying + 300);
        EXPECT_LE(test::readLines(failing + "\\tolvaren.out").size(), before + 1) << "the worker went on while asked";
        EXPECT_EQ(test::findMessageBox(p->id(), kWorkerCaption), nullptr) << "the worker asked over the question";
        test::pressButton(box, IDNO);
        ++trials[Copying][0];
        ASSERT_TRUE(waitUntil([&] { return test::findMessageBox(p->id(), kWorkerCaption) != nullptr; }, 30000));

        // Esc while the worker asks is handled and raises nothing (a question
        // would hold the window procedure until the time-out); the window
        // closed from outside withdraws the worker's question (No), and
        // nothing is started.
        DWORD_PTR result = 0;
        EXPECT_NE(SendMessageTimeoutA(splash, WM_CHAR, 27, 0, SMTO_NORMAL, 5000, &result), 0)
            << "Esc asked over the worker's question";
        EXPECT_EQ(test::findMessageBox(p->id(), kAbortCaption), nullptr);
        PostMessageA(splash, WM_CLOSE, 0, 0);
        EXPECT_EQ(p->wait(1000), 0);
        EXPECT_FALSE(test::commandStarted(commandOf(failing), markerOf(failing)));
    }

    // The application runs: the check watches it for five seconds, then the
    // worker would ask whether to start the command anyway. Esc stops the
    // watch, No lets it go on.
    test::Process application("\"" + app + "\" 600000", tmp.path());
    ASSERT_TRUE(application.started());
    run(tmp / "занят",
        {{Check, random(0, 300), false, random(30, 100)},
         {Check, random(300, 600), false, random(30, 100)},
         {Check, random(600, 900), true, 0}},
        false);
    run(tmp / "занят тихо", {{Check, random(0, 600), true, 0}}, true);

    for (int phase : {Check, Scanning, Copying}) {
        std::printf("%-14s No %2d  Yes or quiet %2d\n", kPhaseNames[phase], trials[phase][0], trials[phase][1]);
        EXPECT_GE(trials[phase][0], 2) << kPhaseNames[phase];
        EXPECT_GE(trials[phase][1], 2) << kPhaseNames[phase];
    }
    std::printf("the slowest end took %lu ms\n", static_cast<unsigned long>(slowest));
    EXPECT_LE(slowest, 500u);
}
