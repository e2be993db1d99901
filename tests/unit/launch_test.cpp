// The command launch through the shell, with a helper that records where
// and with what it was started.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/stream_capture.h"
#include "support/test_support.h"
#include "worker/launch.h"
#include "win/fixed_text.h"

namespace {

// The recorder's two lines (working directory, arguments), once it has written them.
std::vector<std::string> recorded(const std::string& path) {
    for (int i = 0; i < 200 && !test::fileExists(path); ++i) Sleep(100);
    return test::readLines(path);
}

struct Launch : ::testing::Test {
    test::TempDir dir;
    SettingsRecord settings;
    std::string dest = dir / "ДАРВ Клиент";
    Launch() {
        test::makeDirs(dest);
        win::copyText(settings.destDir, (dest + "\\").c_str());
    }
    void set(const std::string& command, const std::string& arguments) {
        win::copyText(settings.runCommand, command.c_str());
        win::copyText(settings.commandArguments, arguments.c_str());
    }
};

TEST_F(Launch, RelativeCommandRunsInTheDestination) {
    ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\recordcwd.exe").c_str(), (dest + "\\darv.exe").c_str(), FALSE));
    const std::string out = dir / "запуск.txt";
    const std::string arguments = "\"" + out + "\" один  \"два три\"";
    set("darv.exe", arguments);
    test::StreamCapture logs;
    launchCommand(settings);
    EXPECT_EQ(logs.outText(), "Выполнение команды \"darv.exe\" рабочий каталог \"" + dest + "\\\"\n");
    EXPECT_EQ(logs.errText(), "");
    EXPECT_EQ(recorded(out), (std::vector<std::string>{dest, arguments}));
}

TEST_F(Launch, DriveAbsoluteCommandGetsNoWorkingDirectory) {
    const std::string out = dir / "absolute.txt";
    const std::string command = test::buildFile("helpers\\recordcwd.exe");
    set(command, "\"" + out + "\"");
    test::StreamCapture logs;
    launchCommand(settings);
    EXPECT_EQ(logs.outText(), "Выполнение команды \"" + command + "\" рабочий каталог \"\"\n");
    EXPECT_EQ(logs.errText(), "");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    auto lines = recorded(out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], cwd);  // the started program keeps this process's directory
}

TEST_F(Launch, MissingCommandIsReportedAndEmptyOneIgnored) {
    set("nosuch.exe", "");
    {
        test::StreamCapture logs;
        launchCommand(settings);
        EXPECT_EQ(logs.errText(), "Ошибка 2 выполнения команды \"nosuch.exe\" рабочий каталог \"" + dest + "\\\"\n");
        EXPECT_EQ(logs.outText(), "");
    }

    // A network command also gets the destination as working directory.
    set("\\\\srv\\share\\x.exe", "");
    {
        test::StreamCapture logs;
        launchCommand(settings);
        const std::string tail = " выполнения команды \"\\\\srv\\share\\x.exe\" рабочий каталог \"" + dest + "\\\"\n";
        std::string err = logs.errText();
        EXPECT_EQ(err.rfind("Ошибка ", 0), 0u) << err;
        ASSERT_GE(err.size(), tail.size());
        EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
    }

    set("", "whatever");
    test::StreamCapture logs;
    launchCommand(settings);
    EXPECT_EQ(logs.outText(), "");
    EXPECT_EQ(logs.errText(), "");
}

TEST_F(Launch, APathLongerThanTheShellTakesIsNotHandedToIt) {
    // A relative command that makes a path of 259 characters is started ...
    const std::string sub(246 - dest.size() - 1, 'k'), name = std::string(8, 'r') + ".exe";
    test::makeDirs(dest + "\\" + sub);
    ASSERT_EQ((dest + "\\" + sub + "\\" + name).size(), 259u);
    const std::string program = dest + "\\" + sub + "\\" + name;
    ASSERT_TRUE(CopyFileA(test::buildFile("helpers\\recordcwd.exe").c_str(), program.c_str(), FALSE));
    set(sub + "\\" + name, "\"" + dir / "граница.txt" + "\"");
    launchCommand(settings);
    EXPECT_EQ(recorded(dir / "граница.txt").size(), 2u);

    // ... one character more, a thousand (on which Wine's shell overflows a
    // buffer), or a long drive-absolute path: the failure line with the code
    // of a name too long, which only a path never handed to the shell gets
    // (the shell's own failures are numbers below 32).
    const std::string absolute = "C:\\" + std::string(300, 'a') + "\\x.exe";
    for (const std::string& command : {sub + "\\r" + name, std::string(1000, 'd') + ".exe", absolute}) {
        set(command, "\"" + dir / "не запущен.txt" + "\"");
        test::StreamCapture logs;
        launchCommand(settings);
        EXPECT_EQ(logs.errText(), "Ошибка 206 выполнения команды \"" + command + "\" рабочий каталог \"" +
                                      (command == absolute ? "" : dest + "\\") + "\"\n");
    }
}

}  // namespace
