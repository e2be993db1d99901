// The run logs: the standard streams reopened into the destination, and the
// logs that stayed empty deleted at the end of the run.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "app/run_logs.h"
#include "support/test_support.h"
#include "core/settings.h"
#include "win/fixed_text.h"

namespace {

// One run's logs in dir: open, act, statistics switch as loadSettings does
// it, then the owner's end.
void run(const std::string& dir, bool statistics, const std::function<void()>& act, bool switchRuns = true) {
    test::KeepStandardStreams keep;
    SettingsRecord settings;
    win::copyText(settings.destDir, (dir + "\\").c_str());
    RunLogs logs(settings);
    logs.open();
    settings.writeStatistics = statistics;
    if (switchRuns && !statistics) logs.closeStatistics();
    act();
}

}  // namespace

TEST(RunLogs, KeepOnlyWhatWasWrittenAndStartEmptyEveryRun) {
    test::TempDir tmp;
    auto err = tmp / "tolvaren.err";
    auto out = tmp / "tolvaren.out";

    run(tmp.path(), false, [] {});
    EXPECT_FALSE(test::fileExists(err));
    EXPECT_FALSE(test::fileExists(out));

    run(tmp.path(), true, [] {
        std::cout << "Скопирован файл" << std::endl;
        std::cerr << "Ошибка 5 при копировании" << std::endl;
    });
    EXPECT_EQ(test::readFile(out), "Скопирован файл\r\n");  // text mode: CR LF
    EXPECT_EQ(test::readFile(err), "Ошибка 5 при копировании\r\n");

    // The next run empties both; with statistics off its lines are lost.
    run(tmp.path(), false, [] {
        std::cout << "lost" << std::endl;
        std::cerr << "kept" << std::endl;
    });
    EXPECT_FALSE(test::fileExists(out));
    EXPECT_EQ(test::readFile(err), "kept\r\n");

    run(tmp.path(), true, [] {});  // statistics on, nothing to say
    EXPECT_FALSE(test::fileExists(out));
    EXPECT_FALSE(test::fileExists(err));
}

TEST(RunLogs, AnEarlyEndStillDeletesTheOpenEmptyStatisticsLog) {
    test::TempDir tmp;
    run(
        tmp.path(), false, [] { std::cerr << "fault" << std::endl; }, /*switchRuns=*/false);
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.out"));
    EXPECT_EQ(test::readFile(tmp / "tolvaren.err"), "fault\r\n");
}

TEST(RunLogs, LogsOfAnEarlierRunStayWhenThisRunOpenedNone) {
    test::TempDir tmp;
    test::writeFile(tmp / "tolvaren.err", "");
    test::writeFile(tmp / "tolvaren.out", "");
    {
        test::KeepStandardStreams keep;
        SettingsRecord settings;
        win::copyText(settings.destDir, (tmp.path() + "\\").c_str());
        RunLogs logs(settings);
    }
    EXPECT_TRUE(test::fileExists(tmp / "tolvaren.err"));
    EXPECT_TRUE(test::fileExists(tmp / "tolvaren.out"));
}
