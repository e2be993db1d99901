// build/tolvaren.exe as a user sees it under Xvfb: the splash window while
// the files are copied, Esc and its question, the worker's questions in real
// message boxes, and the application launched from the destination.
#include <gtest/gtest.h>

#include "fsops/partial_copy.h"
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const char* const kAbortCaption = "Синхронизация файлов и каталогов";
const char* const kWorkerCaption = "Синхронизация";
const char* const kMarker = "demoapp-started.txt";  // written by the launched demo application

// Polls every 20 ms until done or the time is up; returns done's last answer.
bool waitUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(20);
    }
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK matchSplash(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (owner != s->pid || std::string(cls) != "tolvaren.v2") return TRUE;
    s->found = w;
    return FALSE;
}

HWND splashWindowOf(DWORD pid) {
    WindowSearch search{pid, nullptr};
    EnumWindows(matchSplash, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForSplash(DWORD pid) {
    HWND window = nullptr;
    waitUntil([&] { return (window = splashWindowOf(pid)) != nullptr && IsWindowVisible(window); }, 20000);
    return window;
}

// A box of the child with this caption, shown and drawn; null after the time.
HWND waitForBox(DWORD pid, const std::string& caption, DWORD ms = 20000) {
    HWND box = nullptr;
    waitUntil([&] { return (box = test::findMessageBox(pid, caption)) && !test::messageBoxText(box).empty(); }, ms);
    return box;
}

// Files below dir, the run logs not counted.
int countFiles(const std::string& dir) {
    int n = 0;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            n += countFiles(dir + "\\" + name);
        else if (name != "tolvaren.out" && name != "tolvaren.err" && !isPartialCopy(name.c_str()))
            ++n;  // a copy under way is not a file yet
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
}

void copyHelper(const std::string& helper, const std::string& to) {
    test::makeDirs(to.substr(0, to.rfind('\\')));
    ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\" + helper).c_str(), to.c_str(), FALSE)) << to;
}

// A source tree with the demo application as darv.exe in its root, a
// destination and an INI file that leaves Выполнить at its default.
struct WholeRun {
    test::TempDir tmp;
    std::string src = tmp / "Источник";
    std::string dst = tmp / "Приёмник ДАРВ";

    WholeRun() { copyHelper("demoapp.exe", src + "\\darv.exe"); }
    ~WholeRun() { test::endProcessesOf(dst + "\\darv.exe"); }

    void configure(const std::string& dest, const std::string& keys = "") {
        test::writeFile(tmp / "my.ini", "[Основные параметры]\r\nКаталогИсточник=" + src + "\r\nКаталогПриемник=" +
                                            dest + "\r\nВыводитьСтатистикуСинхронизации=да\r\n" + keys);
    }
    std::string command(const std::string& options = "") const {
        return "\"" + test::buildFile("tolvaren.exe") + "\" my.ini" + options;
    }
    // Whether darv.exe in dest was started, asked once the run has ended.
    bool started(const std::string& dest) const {
        return test::commandStarted(dest + "\\darv.exe", dest + "\\" + kMarker);
    }
    // The demo application's record of its start in dest: working directory, arguments.
    std::vector<std::string> launched(const std::string& dest, DWORD ms = 10000) const {
        waitUntil([&] { return test::readLines(dest + "\\" + kMarker).size() == 2; }, ms);
        return test::readLines(dest + "\\" + kMarker);
    }
};

// A wide tree of small files: 24 directories of 100 (or fewer).
int writeManyFiles(const std::string& root, int directories = 24) {
    int n = 0;
    for (int d = 0; d < directories; ++d)
        for (int f = 0; f < 100; ++f, ++n)
            test::writeFile(root + "\\Папка " + std::to_string(d) + "\\файл " + std::to_string(f) + ".txt",
                            "содержимое " + std::to_string(n));
    return n;
}

// Files the run has logged as copied so far.
int copiedLines(const std::string& dest) {
    int n = 0;
    for (const std::string& line : test::readLines(dest + "\\tolvaren.out"))
        n += line.rfind("Копирование файла", 0) == 0;
    return n;
}

// Well into the copying, far from its end.
bool copyingUnderWay(const std::string& dest) { return copiedLines(dest) >= 200; }

// A Unix symbolic link dir\name -> target, there while the object lives.
// Made and removed by /bin/ln and /bin/rm (Wine's own calls would remove the
// target); Wine cannot wait for those, so seenAs, the Windows path that
// reaches the target through the link, is polled.
class UnixLink {
public:
    UnixLink(const std::string& dir, const std::string& target, const std::string& name, std::string seenAs)
        : dir_(dir), name_(name), seenAs_(std::move(seenAs)) {
        test::runProgram("/bin/ln -sfn \"" + target + "\" " + name_, dir_);
        waitUntil([&] { return test::isDirectory(seenAs_); }, 10000);
    }
    ~UnixLink() {
        test::runProgram("/bin/rm -f " + name_, dir_);
        waitUntil([&] { return !test::fileExists(seenAs_); }, 10000);
    }
    bool made() const { return test::isDirectory(seenAs_); }

private:
    std::string dir_, name_, seenAs_;
};

// Another drive letter of Wine's for dir: a link in the prefix's dosdevices
// to dir below the link of dir's own drive.
std::unique_ptr<UnixLink> driveLetterFor(std::string dir, std::string& root) {
    const char* prefix = std::getenv("WINEPREFIX");
    for (char letter = 'P'; prefix && letter <= 'X'; ++letter) {
        root = std::string(1, letter) + ":\\";
        if (test::fileExists(root)) continue;
        std::string dosdevices = "Z:" + std::string(prefix) + "/dosdevices";
        std::replace(dosdevices.begin(), dosdevices.end(), '/', '\\');
        std::replace(dir.begin(), dir.end(), '\\', '/');
        dir[0] = static_cast<char>(std::tolower(dir[0]));  // Wine's links are "c:", "z:"...
        std::string name{static_cast<char>(std::tolower(letter)), ':'};
        return std::make_unique<UnixLink>(dosdevices, dir, name, root);
    }
    return nullptr;
}

}  // namespace

TEST(WholeRun, CopiesTheTreeShowsTheSplashAndLaunchesFromTheDestination) {
    WholeRun run;
    test::writeFile(run.src + "\\Корень.txt", "корень");
    test::writeFile(run.src + "\\Данные\\Отчёты\\2024\\итоги.doc", "итоги");
    test::writeFile(run.src + "\\Данные\\пусто.txt", "");
    // Enough to copy that the window, made while the worker already works,
    // is still up when looked for.
    writeManyFiles(run.src, 4);
    run.configure(run.dst);

    test::Process p(run.command(), run.tmp.path());
    ASSERT_TRUE(p.started());
    HWND splash = waitForSplash(p.id());
    ASSERT_NE(splash, nullptr);
    char title[128] = "";
    GetWindowTextA(splash, title, sizeof title);
    EXPECT_STREQ(title, "Синхронизация файлов и каталогов");
    EXPECT_EQ(p.wait(30000), 0);
    EXPECT_FALSE(IsWindow(splash));

    EXPECT_EQ(test::readFile(run.dst + "\\Данные\\Отчёты\\2024\\итоги.doc"), "итоги");
    EXPECT_EQ(test::readFile(run.dst + "\\Корень.txt"), "корень");
    EXPECT_TRUE(test::fileExists(run.dst + "\\Данные\\пусто.txt"));
    EXPECT_EQ(test::readFile(run.dst + "\\darv.exe"), test::readFile(run.src + "\\darv.exe"));
    EXPECT_EQ(run.launched(run.dst), (std::vector<std::string>{run.dst, ""}));
    std::vector<std::string> log = test::readLines(run.dst + "\\tolvaren.out");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Выполнение команды \"darv.exe\" рабочий каталог \"" + run.dst + "\\\"");
    EXPECT_EQ(log.back().rfind("Итого: скопировано " + std::to_string(copiedLines(run.dst)) +
                                   ", удалено файлов 0, "
                                   "удалено каталогов 0, создано каталогов ",
                               0),
              0u)
        << log.back();
    EXPECT_FALSE(test::fileExists(run.dst + "\\tolvaren.err"));
}

TEST(WholeRun, EscInTheMiddleOfCopyingAsksAndStopsOnYesAtOnce) {
    WholeRun run;
    const int total = writeManyFiles(run.src) + 1;  // and darv.exe

    // Answered Yes: the worker stands still while asked and copies nothing after.
    {
        const std::string dest = run.tmp / "да";
        run.configure(dest);
        test::Process p(run.command(), run.tmp.path());
        HWND splash = waitForSplash(p.id());
        ASSERT_NE(splash, nullptr);
        ASSERT_TRUE(waitUntil([&] { return copyingUnderWay(dest); }, 30000));
        ASSERT_TRUE(test::fileExists(dest + "\\darv.exe"));  // root files come first
        PostMessageA(splash, WM_CHAR, 27, 0);
        HWND box = waitForBox(p.id(), kAbortCaption);
        ASSERT_NE(box, nullptr);
        int atBox = countFiles(dest);
        EXPECT_EQ(GetWindow(box, GW_OWNER), splash);
        EXPECT_EQ(test::messageBoxText(box), "Прервать синхронизацию?");
        Sleep(500);
        int held = countFiles(dest);
        EXPECT_LE(held, atBox + 1);  // at most the copy in flight
        test::pressButton(box, IDYES);
        DWORD answered = GetTickCount();
        EXPECT_EQ(p.wait(20000), 0);
        DWORD took = GetTickCount() - answered;
        EXPECT_LT(took, 1500u);
        EXPECT_EQ(countFiles(dest), held);
        EXPECT_EQ(copiedLines(dest), held);
        EXPECT_LT(held, total - 100);  // really stopped in the middle
        EXPECT_FALSE(run.started(dest));
    }
    // Quiet: Esc stops without a question.
    {
        const std::string dest = run.tmp / "тихо";
        run.configure(dest);
        test::Process p(run.command(" /n"), run.tmp.path());
        HWND splash = waitForSplash(p.id());
        ASSERT_NE(splash, nullptr);
        ASSERT_TRUE(waitUntil([&] { return copyingUnderWay(dest); }, 30000));
        int before = countFiles(dest);
        PostMessageA(splash, WM_CHAR, 27, 0);
        DWORD pressed = GetTickCount();
        EXPECT_EQ(p.wait(20000), 0);
        EXPECT_LT(GetTickCount() - pressed, 1500u);
        EXPECT_EQ(test::findMessageBox(p.id(), kAbortCaption), nullptr);
        EXPECT_LT(countFiles(dest), total - 100);
        EXPECT_GE(countFiles(dest), before);
        EXPECT_FALSE(run.started(dest));
    }
    // Answered No: the run goes on to its end and launches the application.
    {
        const std::string dest = run.tmp / "нет";
        run.configure(dest);
        test::Process p(run.command(), run.tmp.path());
        HWND splash = waitForSplash(p.id());
        ASSERT_NE(splash, nullptr);
        ASSERT_TRUE(waitUntil([&] { return copyingUnderWay(dest); }, 30000));
        PostMessageA(splash, WM_CHAR, 27, 0);
        HWND box = waitForBox(p.id(), kAbortCaption);
        ASSERT_NE(box, nullptr);
        test::pressButton(box, IDNO);
        EXPECT_EQ(p.wait(60000), 0);
        EXPECT_EQ(run.launched(dest), (std::vector<std::string>{dest, ""}));
        EXPECT_EQ(countFiles(dest), total + 1);  // and the marker
        test::endProcessesOf(dest + "\\darv.exe");
    }
}

TEST(WholeRun, RunningApplicationIsReportedAndStartedOnlyOnYes) {
    WholeRun run;
    test::writeFile(run.src + "\\новый.txt", "new");
    copyHelper("demoapp.exe", run.dst + "\\darv.exe");
    copyHelper("fakeapp.exe", run.dst + "\\Клиент.exe");
    test::Process app("\"" + run.dst + "\\Клиент.exe\" 60000", run.tmp.path());
    ASSERT_TRUE(app.started());
    run.configure(run.dst, "ПроверятьЗапущеноЛиУже=Клиент.exe\r\n");

    test::Process p(run.command(), run.tmp.path());
    ASSERT_NE(waitForSplash(p.id()), nullptr);
    HWND box = waitForBox(p.id(), kWorkerCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), splashWindowOf(p.id()));
    EXPECT_EQ(
        test::messageBoxText(box),
        "Приложение уже запущено, синхронизация невозможна!\nПопытаться выполнить\n\"" + run.dst + "\\Клиент.exe\"?");
    test::pressButton(box, IDYES);
    EXPECT_EQ(p.wait(20000), 0);
    EXPECT_EQ(run.launched(run.dst), (std::vector<std::string>{run.dst, ""}));
    EXPECT_FALSE(test::fileExists(run.dst + "\\новый.txt"));  // nothing synchronised
    EXPECT_EQ(test::readLines(run.dst + "\\tolvaren.err"),
              std::vector<std::string>{"Ошибка: приложение уже запущено, синхронизация невозможна"});
    EXPECT_TRUE(app.running());
}

TEST(WholeRun, FailedPassWarnsOrAsksAndStartsNothingUnlessTold) {
    WholeRun run;
    copyHelper("demoapp.exe", run.dst + "\\darv.exe");
    const std::string missing = run.tmp / "нет такого";

    // ВопросПриОшибке=нет: a warning with one OK button, nothing launched.
    test::writeFile(run.tmp / "my.ini", "[Основные параметры]\r\nКаталогИсточник=" + missing +
                                            "\r\nКаталогПриемник=" + run.dst + "\r\nВопросПриОшибке=нет\r\n");
    {
        test::Process p(run.command(), run.tmp.path());
        HWND box = waitForBox(p.id(), kWorkerCaption);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(GetWindow(box, GW_OWNER), splashWindowOf(p.id()));
        EXPECT_EQ(test::messageBoxText(box), "В процессе синхронизации возникли ошибки.\nПрограмма будет закрыта.");
        EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(box, IDYES), nullptr);
        test::pressButton(box, IDOK);
        EXPECT_EQ(p.wait(20000), 0);
        EXPECT_FALSE(run.started(run.dst));
    }
    // ВопросПриОшибке=да: the question; No starts nothing, Yes starts the command.
    test::writeFile(run.tmp / "my.ini", "[Основные параметры]\r\nКаталогИсточник=" + missing +
                                            "\r\nКаталогПриемник=" + run.dst + "\r\nВопросПриОшибке=да\r\n");
    for (int answer : {IDNO, IDYES}) {
        test::Process p(run.command(), run.tmp.path());
        HWND box = waitForBox(p.id(), kWorkerCaption);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(test::messageBoxText(box),
                  "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n\"" + run.dst + "\\darv.exe\"?");
        test::pressButton(box, answer);
        EXPECT_EQ(p.wait(20000), 0);
        if (answer == IDNO) {
            EXPECT_FALSE(run.started(run.dst));
        } else {
            EXPECT_EQ(run.launched(run.dst), (std::vector<std::string>{run.dst, ""}));
        }
    }
}

TEST(WholeRun, AWorkerThatCannotBeStoppedEndsTheProcessInsteadOfHanging) {
    test::TempDir tmp;
    test::RunOptions options;
    options.timeoutMs = 15000;
    DWORD start = GetTickCount();
    EXPECT_EQ(test::runProgram("\"" + test::buildFile("helpers\\stuckrun.exe") + "\" \"" + tmp.path() + "\"",
                               tmp.path(), options),
              0);
    EXPECT_LT(GetTickCount() - start, 6000u);  // the grace time, then the end
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.err"));
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.out"));
}

// Memory running out on a copy thread: the run ends as after an abort, with
// one error line, its window closed and its logs trimmed, and starts nothing.
TEST(WholeRun, AFailureOnACopyThreadEndsTheRunWithOneErrorLine) {
    WholeRun run;
    test::writeFile(run.src + "\\сбой.txt", "сбой");  // after darv.exe in list order
    const int total = writeManyFiles(run.src, 2) + 2;
    // No statistics: the statistics log stays empty.
    test::writeFile(run.tmp / "my.ini",
                    "[Основные параметры]\r\nКаталогИсточник=" + run.src + "\r\nКаталогПриемник=" + run.dst + "\r\n");
    const std::string result = run.tmp / "result.txt";
    test::RunOptions options;
    options.timeoutMs = 30000;  // a question nobody answers would run into this
    const std::string command =
        "\"" + test::buildFile("helpers\\failingcopyrun.exe") + "\" \"" + run.tmp / "my.ini" + "\" \"" + result + "\"";
    EXPECT_EQ(test::runProgram(command, run.tmp.path(), options), 0);
    // Errors counted, the window left, the statistics log made at the start.
    EXPECT_EQ(test::readLines(result), std::vector<std::string>{"1 0 1"});
    EXPECT_EQ(test::readLines(run.dst + "\\tolvaren.err"),
              std::vector<std::string>{"Ошибка: std::bad_alloc, синхронизация прервана"});
    EXPECT_FALSE(test::fileExists(run.dst + "\\tolvaren.out"));  // empty, so removed
    EXPECT_TRUE(test::fileExists(run.dst + "\\darv.exe"));
    EXPECT_FALSE(test::fileExists(run.dst + "\\сбой.txt"));
    EXPECT_LT(countFiles(run.dst), total / 10);  // at most the copies under way went on
    EXPECT_FALSE(run.started(run.dst));
}

TEST(WholeRun, ASecondRunOnTheSameDestinationGivesWayAtOnceAndAnswersItsLauncher) {
    WholeRun run;
    const int total = writeManyFiles(run.src, 8) + 1;  // and darv.exe
    // Under Wine a final path names the deepest drive root above it: the
    // letter must be there before the first run takes its lock.
    std::string drive;
    std::unique_ptr<UnixLink> letter = driveLetterFor(run.tmp.path(), drive);
    ASSERT_TRUE(letter && letter->made());
    run.configure(run.dst);
    test::Process first(run.command(), run.tmp.path());
    HWND splash = waitForSplash(first.id());
    ASSERT_NE(splash, nullptr);
    ASSERT_TRUE(waitUntil([&] { return copyingUnderWay(run.dst); }, 30000));
    // Asked whether to stop, the first run stands still and holds the destination.
    PostMessageA(splash, WM_CHAR, 27, 0);
    HWND box = waitForBox(first.id(), kAbortCaption);
    ASSERT_NE(box, nullptr);

    // The same directory spelled otherwise: another letter case, a "."
    // step, a closing backslash; its 8.3 name; a link to it; another drive.
    char shortName[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(run.dst.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_STRNE(shortName, run.dst.c_str());
    UnixLink link(run.tmp.path(), "Приёмник ДАРВ", "link", run.tmp / "link");
    ASSERT_TRUE(link.made());
    const std::vector<std::string> spellings{run.tmp.path() + "\\.\\приёмник дарв\\", shortName, run.tmp / "link",
                                             drive + "Приёмник ДАРВ"};
    // Without an argument: a launcher quotes its child's arguments.
    const std::string second = "\"" + test::buildFile("tolvaren.exe") + "\"";
    const std::string log = run.dst + "\\tolvaren.out";
    const std::string logBefore = test::readFile(log);
    test::RunOptions options;
    options.timeoutMs = 10000;
    for (const std::string& other : spellings) {
        test::writeFile(run.tmp / "tolvaren.ini", "[Основные параметры]\r\nКаталогИсточник=" + run.src +
                                                      "\r\nКаталогПриемник=" + other +
                                                      "\r\nВыводитьСтатистикуСинхронизации=да\r\n");
        // The first run stands at its question: a second one that waited
        // for it would run into the time-out.
        EXPECT_EQ(test::runProgram(second, run.tmp.path(), options), 0) << other;
        EXPECT_EQ(test::readFile(log).compare(0, logBefore.size(), logBefore), 0) << other;  // only the first run's
    }
    // A launcher that prepared the start-up handshake for a run that gives
    // way gets its answer all the same.
    const std::string launcher =
        "\"" + test::buildFile("helpers\\handshake.exe") + "\" block \"" + (run.tmp / "event.txt") + "\" " + second;
    EXPECT_EQ(test::runProgram(launcher, run.tmp.path(), 40000), 0);
    EXPECT_EQ(test::readFile(run.tmp / "event.txt"), "set\n");
    EXPECT_TRUE(first.running());

    // Told to go on, the first run ends as if alone: every file once, no error, one start.
    test::pressButton(box, IDNO);
    EXPECT_EQ(first.wait(60000), 0);
    EXPECT_EQ(copiedLines(run.dst), total);
    EXPECT_FALSE(test::fileExists(run.dst + "\\tolvaren.err"));
    EXPECT_EQ(run.launched(run.dst), (std::vector<std::string>{run.dst, ""}));
}
