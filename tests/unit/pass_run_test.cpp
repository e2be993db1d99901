// Whole runs of tolvaren.exe /n on real trees: the run logs are compared
// line by line with what the pass must write.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kPassHeader = {
    "сканирование источника",
    "сканирование приемника",
    "удаление игнорируемых файлов из реестра синхронизации",
    "удаление 'вырезаемых' файлов из реестра синхронизации",
    "удаление пропускаемых файлов из реестра синхронизации",
    "удаление проверяемых пар из реестра синхронизации",
    "сравнение",
    "построение списков",
    "собственно, синхронизация:",
};

const Lines kRootCheck = {
    "удаление 'вырезаемых' файлов из реестра синхронизации",
    "удаление игнорируемых файлов из реестра синхронизации",
};

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A source tree, a destination tree and an INI file in a temporary directory.
struct Scenario {
    test::TempDir tmp;
    std::string src = tmp / "src";
    std::string dst = tmp / "dst";
    std::string S = src + "\\.";  // roots as the work-list lines show them
    std::string D = dst + "\\.";

    Scenario() {
        test::makeDirs(src);
        test::makeDirs(dst);
    }

    void configure(const std::string& mainKeys, const std::string& sections = "") {
        test::writeFile(tmp / "my.ini",
                        "[Основные параметры]\r\nКаталогИсточник=" + src + "\r\nКаталогПриемник=" + dst +
                            "\r\nВыводитьСтатистикуСинхронизации=да\r\nВыполнить=\r\n" + mainKeys + sections);
    }

    void run() {
        // The INI name is the first word of the arguments, relative to the working directory.
        std::string cmd = "\"" + test::buildFile("tolvaren.exe") + "\" my.ini /n";
        ASSERT_EQ(test::runProgram(cmd, tmp.path()), 0);
    }
    // The statistics log without its summary line, which ends every run's log.
    Lines out() const {
        Lines lines = test::readLines(dst + "\\tolvaren.out");
        EXPECT_FALSE(lines.empty() || lines.back().rfind("Итого: ", 0) != 0) << "no summary line";
        if (!lines.empty()) lines.pop_back();
        return lines;
    }
    Lines err() const { return test::readLines(dst + "\\tolvaren.err"); }

    std::string copied(const std::string& rel) const {
        return "Копирование файла \"" + S + "\\" + rel + "\" в \"" + D + "\\" + rel + "\"";
    }
    std::string created(const std::string& rel) const { return "Создание каталога \"" + D + "\\" + rel + "\\\""; }
    std::string copyFailed(const std::string& rel) const {
        return "Ошибка копирования файла \"" + S + "\\" + rel + "\" в \"" + D + "\\" + rel + "\"";
    }
};

DWORD attributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

}  // namespace

TEST(PassRun, FullCopyThenNothingThenDeepAndTimeChanges) {
    Scenario s;
    test::writeFile(s.src + "\\Корень.txt", "root");
    test::writeFile(s.src + "\\Данные\\отчёт.doc", "report");
    test::writeFile(s.src + "\\Данные\\Архив\\2023\\старый.txt", "old");
    s.configure("");

    s.run();
    EXPECT_EQ(s.out(), concat({kPassHeader,
                               {s.copied("Корень.txt"), s.created("Данные"), s.copied("Данные\\отчёт.doc"),
                                s.created("Данные\\Архив"), s.created("Данные\\Архив\\2023"),
                                s.copied("Данные\\Архив\\2023\\старый.txt")}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_FALSE(test::fileExists(s.dst + "\\tolvaren.err"));  // an empty error log is removed
    EXPECT_EQ(test::readFile(s.dst + "\\Данные\\Архив\\2023\\старый.txt"), "old");

    s.run();  // nothing to do
    EXPECT_EQ(s.out(), kPassHeader);
    EXPECT_EQ(s.err(), Lines{});

    // A change deep in the tree, and destination times 1 s and 3 s off.
    const std::string deep = "Данные\\Архив\\2023\\старый.txt";
    test::writeFile(s.src + "\\" + deep, "changed");
    test::setFileTime(s.src + "\\" + deep, test::addSeconds(test::fileTimeOf(s.dst + "\\" + deep), 60));
    test::writeFile(s.dst + "\\Корень.txt", "one second newer, other size");
    test::setFileTime(s.dst + "\\Корень.txt", test::addSeconds(test::fileTimeOf(s.src + "\\Корень.txt"), 1));
    test::writeFile(s.dst + "\\Данные\\отчёт.doc", "three seconds older");
    test::setFileTime(s.dst + "\\Данные\\отчёт.doc",
                      test::addSeconds(test::fileTimeOf(s.src + "\\Данные\\отчёт.doc"), -3));
    s.run();
    EXPECT_EQ(s.out(), concat({kPassHeader, {s.copied("Данные\\отчёт.doc"), s.copied(deep)}}));
    EXPECT_EQ(test::readFile(s.dst + "\\" + deep), "changed");
    EXPECT_EQ(test::readFile(s.dst + "\\Данные\\отчёт.doc"), "report");
    EXPECT_EQ(test::readFile(s.dst + "\\Корень.txt"), "one second newer, other size");
}

TEST(PassRun, DestinationOnlyItemsFollowDeletionAndStrictEntries) {
    Scenario s;
    test::writeFile(s.src + "\\Модули\\a.dll", "a");
    s.configure("УдалятьНенужныеФайлы=нет\r\n");
    s.run();
    test::writeFile(s.dst + "\\лишний.txt", "extra");
    test::writeFile(s.dst + "\\Старое\\z.txt", "z");
    test::writeFile(s.dst + "\\Модули\\x.dll", "x");
    test::setAttributes(s.dst + "\\Модули\\x.dll", FILE_ATTRIBUTE_READONLY);
    test::writeFile(s.dst + "\\Модули\\old\\y.txt", "y");

    // What a killed run left of an update goes whatever the setting says;
    // a source file of that name never takes part.
    test::writeFile(s.dst + "\\Модули\\a.dll.tolvaren-part", "torn");
    test::writeFile(s.src + "\\b.tolvaren-part", "not the application's");

    s.run();  // no deletion, no strict entry: everything else stays
    EXPECT_EQ(s.out(), concat({kPassHeader, {"Удаление файла \"" + s.D + "\\Модули\\a.dll.tolvaren-part\""}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_FALSE(test::fileExists(s.dst + "\\Модули\\a.dll.tolvaren-part"));
    EXPECT_FALSE(test::fileExists(s.dst + "\\b.tolvaren-part"));
    EXPECT_TRUE(test::fileExists(s.dst + "\\Модули\\old\\y.txt"));

    s.configure("УдалятьНенужныеФайлы=нет\r\n", "[СтрогоСинхронизировать]\r\nМодули\r\n");
    s.run();
    EXPECT_EQ(s.out(), concat({kPassHeader,
                               {"Удаление файла \"" + s.D + "\\Модули\\x.dll\"",
                                "Удаление каталога \"" + s.D + "\\Модули\\old\\\""}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_FALSE(test::fileExists(s.dst + "\\Модули\\x.dll"));  // read-only, made writable first
    EXPECT_FALSE(test::fileExists(s.dst + "\\Модули\\old"));
    EXPECT_TRUE(test::fileExists(s.dst + "\\лишний.txt"));
    EXPECT_TRUE(test::fileExists(s.dst + "\\Старое\\z.txt"));

    s.configure("УдалятьНенужныеФайлы=да\r\n");
    s.run();
    EXPECT_EQ(s.out(),
              concat({kPassHeader,
                      {"Удаление файла \"" + s.D + "\\лишний.txt\"", "Удаление каталога \"" + s.D + "\\Старое\\\""}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_FALSE(test::fileExists(s.dst + "\\лишний.txt"));
    EXPECT_FALSE(test::fileExists(s.dst + "\\Старое"));
    EXPECT_EQ(test::readFile(s.dst + "\\Модули\\a.dll"), "a");
}

TEST(PassRun, HiddenDestinationsAndReadOnlySources) {
    Scenario s;
    test::writeFile(s.src + "\\скрытый.txt", "fresh");
    test::writeFile(s.dst + "\\скрытый.txt", "stale");
    test::setFileTime(s.dst + "\\скрытый.txt", test::addSeconds(test::fileTimeOf(s.src + "\\скрытый.txt"), -100));
    test::setAttributes(s.dst + "\\скрытый.txt", FILE_ATTRIBUTE_HIDDEN);
    test::writeFile(s.src + "\\ro\\только.txt", "ro");
    test::setAttributes(s.src + "\\ro\\только.txt", FILE_ATTRIBUTE_READONLY);
    s.configure("СниматьReadOnly=нет\r\n");

    s.run();
    EXPECT_EQ(s.out(), concat({kPassHeader, {s.copied("скрытый.txt"), s.created("ro"), s.copied("ro\\только.txt")}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_EQ(test::readFile(s.dst + "\\скрытый.txt"), "fresh");
    EXPECT_TRUE(attributesOf(s.dst + "\\ro\\только.txt") & FILE_ATTRIBUTE_READONLY);

    test::removeAll(s.dst + "\\ro");
    s.configure("СниматьReadOnly=да\r\n");
    s.run();
    EXPECT_EQ(s.out(), concat({kPassHeader, {s.created("ro"), s.copied("ro\\только.txt")}}));
    EXPECT_FALSE(attributesOf(s.dst + "\\ro\\только.txt") & FILE_ATTRIBUTE_READONLY);
    test::setAttributes(s.src + "\\ro\\только.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST(PassRun, AFileWhereTheOtherSideHasADirectory) {
    Scenario s;
    test::writeFile(s.src + "\\Конфликт", "a file in the source");
    test::writeFile(s.dst + "\\Конфликт\\inner.txt", "a directory in the destination");
    test::writeFile(s.src + "\\Папка\\внутри.txt", "inside");
    test::writeFile(s.dst + "\\Папка", "a file in the destination");

    s.configure("УдалятьНенужныеФайлы=нет\r\n");
    s.run();  // neither side may be deleted: both fail and are counted
    EXPECT_EQ(s.out(), concat({kPassHeader, {s.created("Папка")}}));
    EXPECT_EQ(s.err(), (Lines{s.copyFailed("Конфликт"), "Ошибка 183 создания каталога \"" + s.D + "\\Папка\\\"",
                              s.copyFailed("Папка\\внутри.txt")}));

    s.configure("УдалятьНенужныеФайлы=да\r\n");
    s.run();  // deletions come first and make room
    EXPECT_EQ(s.out(),
              concat({kPassHeader,
                      {"Удаление файла \"" + s.D + "\\Папка\"", "Удаление каталога \"" + s.D + "\\Конфликт\\\"",
                       s.copied("Конфликт"), s.created("Папка"), s.copied("Папка\\внутри.txt")}}));
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_EQ(test::readFile(s.dst + "\\Конфликт"), "a file in the source");
    EXPECT_EQ(test::readFile(s.dst + "\\Папка\\внутри.txt"), "inside");
}

TEST(PassRun, RootCheckDecidesFromTheRootFilesAlone) {
    Scenario s;
    test::writeFile(s.src + "\\версия.txt", "1");
    test::writeFile(s.src + "\\bin\\app.dll", "v1");
    s.configure("ПроверятьТолькоКорень=да\r\n", "[Вырезать]\r\nмусор\r\n");
    s.run();  // the destination root lacks the file: a full pass
    EXPECT_EQ(s.out(),
              concat({kRootCheck, kPassHeader, {s.copied("версия.txt"), s.created("bin"), s.copied("bin\\app.dll")}}));

    test::writeFile(s.src + "\\bin\\app.dll", "v2");
    test::setFileTime(s.src + "\\bin\\app.dll", test::addSeconds(test::fileTimeOf(s.dst + "\\bin\\app.dll"), 60));
    test::writeFile(s.dst + "\\мусор\\junk.txt", "junk");
    s.run();  // root unchanged: nothing copied, the cut entry still removed
    EXPECT_EQ(s.out(), kRootCheck);
    EXPECT_EQ(s.err(), Lines{});
    EXPECT_EQ(test::readFile(s.dst + "\\bin\\app.dll"), "v1");
    EXPECT_FALSE(test::fileExists(s.dst + "\\мусор"));

    test::writeFile(s.src + "\\версия.txt", "2");
    test::setFileTime(s.src + "\\версия.txt", test::addSeconds(test::fileTimeOf(s.dst + "\\версия.txt"), 60));
    s.run();
    EXPECT_EQ(s.out(), concat({kRootCheck, kPassHeader, {s.copied("версия.txt"), s.copied("bin\\app.dll")}}));
    EXPECT_EQ(test::readFile(s.dst + "\\bin\\app.dll"), "v2");
}

TEST(PassRun, PairsAreCopiedLast) {
    Scenario s;
    test::writeFile(s.src + "\\same.src", "same");
    test::writeFile(s.dst + "\\same.cfg", "same but bigger");
    test::setFileTime(s.dst + "\\same.cfg", test::addSeconds(test::fileTimeOf(s.src + "\\same.src"), -1));
    test::writeFile(s.src + "\\ro.src", "new config");
    test::writeFile(s.dst + "\\ro.cfg", "old config");
    test::setFileTime(s.dst + "\\ro.cfg", test::addSeconds(test::fileTimeOf(s.src + "\\ro.src"), -30));
    test::setAttributes(s.dst + "\\ro.cfg", FILE_ATTRIBUTE_READONLY);
    test::writeFile(s.src + "\\обычный.txt", "plain");
    s.configure("", "[Проверить пары]\r\nнет.ini=отсутствует.ini\r\nsame.cfg=same.src\r\n\\ro.cfg=\\ro.src\r\n");

    s.run();
    EXPECT_EQ(
        s.out(),
        concat({kPassHeader,
                {s.copied("обычный.txt"), "Копирование файла \"" + s.src + "\\ro.src\" в \"" + s.dst + "\\ro.cfg\""}}));
    EXPECT_EQ(s.err(), Lines{"Ошибка 2 чтения аттрибутов файла \"" + s.src + "\\отсутствует.ini\""});
    EXPECT_EQ(test::readFile(s.dst + "\\ro.cfg"), "new config");
    EXPECT_EQ(test::readFile(s.dst + "\\same.cfg"), "same but bigger");
    EXPECT_FALSE(test::fileExists(s.dst + "\\ro.src"));  // pair sources are not copied under their own names
    EXPECT_FALSE(test::fileExists(s.dst + "\\same.src"));
}

TEST(PassRun, AMissingSourceRootStopsThePass) {
    Scenario s;
    test::writeFile(s.dst + "\\keep.txt", "k");
    test::writeFile(s.tmp / "my.ini", "[Основные параметры]\r\nКаталогИсточник=" + s.tmp / "нет" +
                                          "\r\nКаталогПриемник=" + s.dst +
                                          "\r\nВыводитьСтатистикуСинхронизации=да\r\nУдалятьНенужныеФайлы=да\r\n");
    s.run();
    EXPECT_EQ(s.err(),
              Lines{"Ошибка: каталог источник \"" + s.tmp / "нет" + "\\\" не существует, синхронизация невозможна"});
    EXPECT_TRUE(s.out().empty());  // no stage line, only the summary
    EXPECT_EQ(test::readLines(s.dst + "\\tolvaren.out").back().find("ошибок 1, время "), 82u);
    EXPECT_TRUE(test::fileExists(s.dst + "\\keep.txt"));
}

TEST(PassRun, AnEmptySourceDeletesNothingAndADestinationInsideTheSourceNeverNests) {
    Scenario s;
    test::writeFile(s.dst + "\\keep.txt", "k");
    test::writeFile(s.dst + "\\sub\\deep.txt", "d");
    s.configure("УдалятьНенужныеФайлы=да\r\n");
    s.run();
    EXPECT_EQ(s.err(), Lines{"Ошибка: каталог источник \"" + s.src +
                             "\\\" пуст, удаление файлов каталога приемника отменено, синхронизация невозможна"});
    EXPECT_TRUE(test::fileExists(s.dst + "\\keep.txt"));
    EXPECT_TRUE(test::fileExists(s.dst + "\\sub\\deep.txt"));

    // The destination inside the source takes no part in the source's pass.
    test::writeFile(s.src + "\\app.txt", "a");
    std::string inner = s.src + "\\local";
    test::writeFile(s.tmp / "my.ini", "[Основные параметры]\r\nКаталогИсточник=" + s.src + "\r\nКаталогПриемник=" +
                                          inner + "\r\nУдалятьНенужныеФайлы=да\r\nВыполнить=\r\n");
    s.run();
    s.run();
    EXPECT_EQ(test::readFile(inner + "\\app.txt"), "a");
    EXPECT_FALSE(test::fileExists(inner + "\\local"));
    EXPECT_FALSE(test::fileExists(inner + "\\tolvaren.err"));
}
