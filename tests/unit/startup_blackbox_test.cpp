// build/tolvaren.exe started as a real process: options, the INI file,
// faults in it, the destination and the logs it leaves, message boxes
// answered through their buttons.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

const char* const kMain = "[Основные параметры]\r\n";

std::string program() { return "\"" + test::buildFile("tolvaren.exe") + "\""; }

// One run of the program in cwd; boxes captioned "tolvaren" are answered in
// order, the original standard error is kept in a file.
struct Outcome {
    int exitCode;
    std::vector<test::SeenBox> boxes;
    std::string stderrText;
};

Outcome start(const std::string& arguments, const std::string& cwd, std::vector<int> answers = {}) {
    test::TempDir streams;
    test::BoxAnswerer answerer("tolvaren", std::move(answers));
    test::RunOptions options;
    options.stdoutPath = streams / "out.txt";
    options.stderrPath = streams / "err.txt";
    options.whileRunning = [&](DWORD pid) { answerer(pid); };
    options.timeoutMs = 30000;
    Outcome r;
    r.exitCode = test::runProgram(program() + (arguments.empty() ? "" : " " + arguments), cwd, options);
    r.boxes = answerer.seen();
    r.stderrText = test::readFile(streams / "err.txt");
    return r;
}

Lines entries(const std::string& dir) {
    Lines names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = found.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

}  // namespace

TEST(StartupBlackBox, GenerateWritesTheTemplateIntoTheCurrentDirectoryAndEnds) {
    test::TempDir tmp;
    Outcome loud = start("/g", tmp.path(), {IDOK});
    EXPECT_EQ(loud.exitCode, 0);
    ASSERT_EQ(loud.boxes.size(), 1u);
    EXPECT_EQ(loud.boxes[0].text,
              "ini-файл сгенерирован.\nОтредактируйте  'tolvaren.ini'  перед\nследующим запуском программы.");
    Lines lines = test::readLines(tmp / "tolvaren.ini");
    ASSERT_EQ(lines.size(), 145u);
    EXPECT_EQ(lines.front(), "[Основные параметры]");

    // Quiet, with an INI name: still tolvaren.ini here, no box, nothing else.
    test::writeFile(tmp / "tolvaren.ini", "edited");
    Outcome quiet = start("other.ini /g /N", tmp.path());
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.boxes.empty());
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini"), lines);
    EXPECT_EQ(entries(tmp.path()), Lines({"tolvaren.ini"}));
}

TEST(StartupBlackBox, AMissingIniFileEndsTheRunAndIsGeneratedOnlyOnYes) {
    ASSERT_FALSE(test::fileExists(test::buildFile("tolvaren.ini")));  // no fallback file beside the program
    test::TempDir tmp;
    // "/n" alone is the INI name: quietly refused, nothing generated.
    Outcome quiet = start("/n", tmp.path());
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_TRUE(quiet.boxes.empty());
    EXPECT_EQ(quiet.stderrText, "Ошибка при задании имени ini-файла.\r\n Задайте существующий файл.");
    EXPECT_TRUE(entries(tmp.path()).empty());

    Outcome no = start("", tmp.path(), {IDNO});
    EXPECT_EQ(no.exitCode, 0);
    ASSERT_EQ(no.boxes.size(), 1u);
    EXPECT_EQ(no.boxes[0].text, "Не существует ini-файл.\n Сгенерировать файл?");
    EXPECT_TRUE(entries(tmp.path()).empty());

    Outcome yes = start("", tmp.path(), {IDYES, IDOK});
    EXPECT_EQ(yes.exitCode, 0);
    ASSERT_EQ(yes.boxes.size(), 2u);
    EXPECT_EQ(yes.boxes[1].text.substr(0, 22), "ini-файл сгенерирован.");
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini").size(), 145u);
    EXPECT_EQ(entries(tmp.path()), Lines({"tolvaren.ini"}));  // generated, not used
}

TEST(StartupBlackBox, IniFaultsAreLoggedInTheDestination) {
    test::TempDir tmp;
    test::writeFile(tmp / "pairs.ini",
                    kMain + ("КаталогПриемник=" + (tmp / "dst")) + "\r\n[Проверить пары]\r\na=b\r\nno equals sign\r\n");
    Outcome pairs = start("pairs.ini /n", tmp.path());
    EXPECT_EQ(pairs.exitCode, 0);
    EXPECT_EQ(
        test::readLines(tmp / "dst\\tolvaren.err"),
        Lines({"Ошибка в \"" + (tmp / "pairs.ini") + "\" невозможно определить путь-приемник в секции [Проверить пары]",
               "Ошибка в файле инициализации"}));
    EXPECT_FALSE(test::fileExists(tmp / "dst\\tolvaren.out"));

    test::writeFile(tmp / "source.ini", kMain + ("КаталогПриемник=" + (tmp / "dst2")) + "\r\nКаталогИсточник=\r\n");
    Outcome source = start("source.ini", tmp.path(), {IDOK});
    EXPECT_EQ(source.exitCode, 0);
    ASSERT_EQ(source.boxes.size(), 1u);
    EXPECT_EQ(source.boxes[0].text, "Ошибка в файле инициализации");
    EXPECT_EQ(test::readLines(tmp / "dst2\\tolvaren.err"),
              Lines({"Ошибка, не указан путь к каталогу источнику.  Синхронизация невозможна."}));
    EXPECT_EQ(entries(tmp / "dst2"), Lines({"tolvaren.err"}));

    // Saved in UTF-8: told, and no destination is created.
    test::writeFile(tmp / "utf8.ini", std::string(u8"[Основные параметры]\r\nКаталогПриемник=") + (tmp / "dst3"));
    Outcome utf8 = start("utf8.ini /n", tmp.path());
    EXPECT_EQ(utf8.exitCode, 0);
    EXPECT_NE(utf8.stderrText.find("UTF-8"), std::string::npos);
    EXPECT_FALSE(test::fileExists(tmp / "dst3"));
}

TEST(StartupBlackBox, ARunWithoutFaultsLeavesNoLogAndAFileInTheWayIsReported) {
    test::TempDir tmp;
    test::makeDirs(tmp / "src");
    test::writeFile(tmp / "ok.ini", kMain + ("КаталогПриемник=" + (tmp / "a\\b")) +
                                        "\r\nКаталогИсточник=" + (tmp / "src") + "\r\nВыполнить=\r\n" +
                                        "ВыводитьСтатистикуСинхронизации=нет\r\n");
    Outcome ok = start("ok.ini", tmp.path());
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_TRUE(ok.boxes.empty());
    EXPECT_TRUE(test::isDirectory(tmp / "a\\b"));
    EXPECT_TRUE(entries(tmp / "a\\b").empty());

    test::writeFile(tmp / "file", "in the way");
    test::writeFile(tmp / "blocked.ini", kMain + ("КаталогПриемник=" + (tmp / "file\\dst")) + "\r\n");
    Outcome blocked = start("blocked.ini", tmp.path());
    EXPECT_EQ(blocked.exitCode, 0);
    EXPECT_TRUE(blocked.boxes.empty());  // no box for it, quiet or not
    std::string expected =
        "], невозможно создать каталог \"" + (tmp / "file") + "\" т.к. найден файл с тем же именем\r\n";
    ASSERT_EQ(blocked.stderrText.substr(0, 8), "Ошибка [");
    std::size_t close = blocked.stderrText.find(']');
    EXPECT_EQ(blocked.stderrText.substr(close), expected);
    EXPECT_EQ(blocked.stderrText.find_first_not_of("0123456789", 8), close);  // a decimal code
}

TEST(StartupBlackBox, WithoutAnIniNameTheFileBesideTheProgramIsUsed) {
    test::TempDir tmp;
    test::makeDirs(tmp / "prog");
    test::makeDirs(tmp / "work");
    ASSERT_TRUE(CopyFileA(test::buildFile("tolvaren.exe").c_str(), (tmp / "prog\\tolvaren.exe").c_str(), FALSE));
    test::writeFile(tmp / "prog\\tolvaren.ini", kMain + ("КаталогПриемник=" + (tmp / "dst")) + "\r\n");
    test::RunOptions options;
    options.timeoutMs = 30000;
    EXPECT_EQ(test::runProgram("\"" + (tmp / "prog\\tolvaren.exe") + "\"", tmp / "work", options), 0);
    EXPECT_TRUE(test::isDirectory(tmp / "dst"));
    EXPECT_TRUE(entries(tmp / "work").empty());
}

TEST(StartupBlackBox, CyrillicIniNamesAndProgramFoldersAreReadWhole) {
    test::TempDir tmp;
    ASSERT_EQ(tmp.path().find(' '), std::string::npos);  // an unquoted program path must not hold a blank
    const std::string program = tmp / "Программа\\tolvaren.exe";
    test::makeDirs(tmp / "Программа");
    ASSERT_TRUE(CopyFileA(test::buildFile("tolvaren.exe").c_str(), program.c_str(), FALSE));
    test::writeFile(tmp / "src\\файл.txt", "x");
    auto settings = [&](const std::string& dst) {
        return kMain + ("КаталогИсточник=" + (tmp / "src")) + "\r\nКаталогПриемник=" + dst + "\r\nВыполнить=\r\n";
    };
    test::writeFile(tmp / "настройки.ini", settings(tmp / "верно"));
    test::writeFile(tmp / ".ini", settings(tmp / "неверно"));  // what a name cut at its first letter would load

    test::RunOptions options;
    options.timeoutMs = 30000;
    options.stderrPath = tmp / "stderr.txt";
    // Unquoted, as cmd.exe passes it, and quoted; "/n" after the name is seen.
    EXPECT_EQ(test::runProgram(program + " настройки.ini /n", tmp.path(), options), 0);
    EXPECT_TRUE(test::fileExists(tmp / "верно\\файл.txt"));
    test::removeAll(tmp / "верно");
    EXPECT_EQ(test::runProgram("\"" + program + "\"   настройки.ini /n", tmp.path(), options), 0);
    EXPECT_TRUE(test::fileExists(tmp / "верно\\файл.txt"));
    EXPECT_FALSE(test::fileExists(tmp / "неверно"));
    EXPECT_EQ(test::readFile(tmp / "stderr.txt"), "");
}

TEST(StartupBlackBox, AListOnlyRunWritesToItsOutputOrElseToAListFileBesideIt) {
    test::TempDir tmp;
    test::writeFile(tmp / "src\\новое.txt", "n");
    test::writeFile(tmp / "tolvaren.ini", kMain + ("КаталогПриемник=" + (tmp / "dst")) +
                                              "\r\nКаталогИсточник=" + (tmp / "src") + "\r\nВыполнить=\r\n");
    const std::string line =
        "Копирование файла \"" + (tmp / "src\\.\\новое.txt") + "\" в \"" + (tmp / "dst\\.\\новое.txt") + "\"";
    test::RunOptions options;
    options.timeoutMs = 30000;
    options.stdoutPath = tmp / "changes.txt";
    EXPECT_EQ(test::runProgram(program() + " /l", tmp.path(), options), 0);  // "/l" alone: the INI file here
    Lines listed = test::readLines(tmp / "changes.txt");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], line);
    EXPECT_EQ(listed[1].rfind("Итого: скопировано 1, удалено файлов 0, удалено каталогов 0, создано каталогов 0, "
                              "ошибок 0, время ",
                              0),
              0u)
        << listed[1];
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.lst"));
    EXPECT_FALSE(test::isDirectory(tmp / "dst"));  // nothing is created

    // Started with no standard output handed to it, as from a shortcut
    // (Wine would otherwise pass on this test's own).
    options.stdoutPath.clear();
    options.stderrPath = tmp / "errors.txt";
    EXPECT_EQ(test::runProgram(program() + " tolvaren.ini /l", tmp.path(), options), 0);
    Lines kept = test::readLines(tmp / "tolvaren.lst");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0], line);
    EXPECT_FALSE(test::isDirectory(tmp / "dst"));
}
