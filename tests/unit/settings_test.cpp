// loadSettings on real INI files read by the profile functions: keys,
// defaults, list sections, faults, and the files it leaves behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "app/ini_encoding.h"
#include "app/ini_reading.h"
#include "app/load_settings.h"
#include "win/show_message.h"
#include "core/text1251.h"
#include "fsops/directories.h"
#include "support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

std::string joinLines(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// What one loadSettings left: its result, the record, the boxes, and the
// logs as they are after the run's logs were closed.
struct Loaded {
    bool ok = false;
    std::string raised;  // text of a message error
    SettingsRecord settings;
    std::vector<test::BoxCall> boxes;
    bool errLeft = false, outLeft = false;
    std::string errLog;
};

Loaded loadBytes(const std::string& iniPath, const std::string& bytes, bool quiet = false) {
    test::writeFile(iniPath, bytes);
    Loaded r;
    test::resetBoxes();
    quietMode = quiet;
    {
        test::KeepStandardStreams keep;
        SettingsRecord settings;
        int32_t errorCount = 0;
        RunLogs logs(settings);
        try {
            r.ok = loadSettings(iniPath.c_str(), settings, errorCount, logs);
        } catch (const MessageError& e) {
            r.raised = e.what();
        }
        r.settings = settings;
    }
    quietMode = false;
    r.boxes = test::boxCalls();
    test::resetBoxes();
    std::string dest = r.settings.destDir;
    if (!dest.empty()) {
        r.errLeft = test::fileExists(dest + "tolvaren.err");
        r.outLeft = test::fileExists(dest + "tolvaren.out");
        r.errLog = test::readFile(dest + "tolvaren.err");
    }
    return r;
}

Loaded load(const test::TempDir& tmp, const Lines& lines) { return loadBytes(tmp / "t.ini", joinLines(lines)); }

// The text as an editor would save it in another encoding (1200: UTF-16).
std::string encoded(const std::string& text1251, UINT codePage) {
    std::wstring w(text1251.size(), L'\0');
    int n = static_cast<int>(w.size());
    w.resize(MultiByteToWideChar(1251, 0, text1251.data(), n, &w[0], n));
    if (codePage == 1200) return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
    std::string out(w.size() * 2, '\0');
    out.resize(WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &out[0],
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

const char* const kMain = "[Основные параметры]";

}  // namespace

TEST(Settings, KeysFollowTheirReadingRules) {
    test::TempDir tmp;
    Loaded a = load(
        tmp, {kMain, "КаталогПриемник=" + (tmp / "dst"), "КаталогИсточник=src", "ВыводитьСтатистикуСинхронизации=Да",
              "СниматьReadOnly=", "УдалятьНенужныеФайлы=дА", "Выполнить=  \"app.exe\"  ", "КоманднаяСтрока=\"\"",
              "ВопросПриОшибке=no", "ПроверятьТолькоКорень=ДA" /* Latin A */, "ПроверятьЗапущеноЛиУже=x.exe"});
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(std::string(a.settings.destDir), tmp / "dst\\");
    EXPECT_TRUE(test::isDirectory(tmp / "dst"));
    EXPECT_EQ(std::string(a.settings.sourceDir), "src\\");  // neither expanded nor made absolute
    EXPECT_TRUE(a.settings.writeStatistics);
    EXPECT_FALSE(a.settings.clearReadOnly);  // empty means no, whatever the default
    EXPECT_TRUE(a.settings.deleteExtraFiles);
    EXPECT_EQ(std::string(a.settings.runCommand), "app.exe");
    EXPECT_EQ(std::string(a.settings.commandArguments), "");
    EXPECT_TRUE(a.settings.askOnError);  // only "нет" turns the question off
    EXPECT_FALSE(a.settings.rootOnly);
    EXPECT_EQ(std::string(a.settings.runningCheckPath), "x.exe");
    EXPECT_FALSE(a.errLeft);
    EXPECT_FALSE(a.outLeft);  // statistics on, but nothing written

    Loaded b = load(tmp, {kMain, "КаталогПриемник=" + (tmp / "dst\\"), "СниматьReadOnly=yes", "УдалятьНенужныеФайлы=1",
                          "ВопросПриОшибке=нЕТ", "ПроверятьТолькоКорень=да"});
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(std::string(b.settings.destDir), tmp / "dst\\");
    EXPECT_FALSE(b.settings.clearReadOnly);
    EXPECT_FALSE(b.settings.deleteExtraFiles);
    EXPECT_FALSE(b.settings.askOnError);
    EXPECT_TRUE(b.settings.rootOnly);
    EXPECT_TRUE(b.boxes.empty());

    // A long-path prefix is taken away: the roots are compared, logged and
    // reported as the plain paths they name.
    Loaded c = load(tmp, {kMain, "КаталогПриемник=\\\\?\\" + (tmp / "dst"), "КаталогИсточник=\\\\?\\" + (tmp / "src")});
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(std::string(c.settings.destDir), tmp / "dst\\");
    EXPECT_EQ(std::string(c.settings.sourceDir), tmp / "src\\");
}

TEST(Settings, MissingKeysAndSectionsKeepTheDefaults) {
    test::TempDir tmp;
    test::CurrentDirectory cd(tmp.path());
    SetEnvironmentVariableA("TOLVAREN_TEST_ROOT", tmp.path().c_str());
    Loaded r = load(tmp, {kMain, "КаталогПриемник=%TOLVAREN_TEST_ROOT%\\dst"});
    SetEnvironmentVariableA("TOLVAREN_TEST_ROOT", nullptr);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.settings.destDir), tmp / "dst\\");
    EXPECT_EQ(std::string(r.settings.sourceDir), tmp.path() + "\\");
    EXPECT_TRUE(r.settings.clearReadOnly);
    EXPECT_FALSE(r.settings.deleteExtraFiles);
    EXPECT_TRUE(r.settings.askOnError);
    EXPECT_FALSE(r.settings.rootOnly);
    EXPECT_FALSE(r.settings.writeStatistics);
    EXPECT_EQ(std::string(r.settings.runCommand), "darv.exe");
    EXPECT_EQ(std::string(r.settings.commandArguments), "");
    EXPECT_EQ(std::string(r.settings.runningCheckPath), "darv.exe");
    EXPECT_EQ(r.settings.ignoreList,
              Lines({"tolvaren.err", "tolvaren.out", "tolvaren.exe", "Кронваль", "Вартель", "Update"}));
    EXPECT_TRUE(r.settings.updateList.empty() && r.settings.strictList.empty() && r.settings.cutList.empty() &&
                r.settings.skipExistingList.empty() && r.settings.pairList.empty());
    EXPECT_FALSE(r.settings.hasUpdateList);
    EXPECT_FALSE(r.errLeft);
    EXPECT_FALSE(r.outLeft);
}

TEST(Settings, ListSectionsKeepOrderSkipCommentsAndApplyTheirRules) {
    test::TempDir tmp;
    std::string dest = "КаталогПриемник=" + (tmp / "dst");
    Loaded r = load(tmp, {kMain,
                          dest,
                          "[Игнорировать]",
                          "# comment",
                          "",
                          "кронваль",
                          "b\\c.txt",
                          "b\\c.txt",
                          "[Обновлять]",
                          "Модули",
                          "#x",
                          "[СтрогоСинхронизировать]",
                          "s1",
                          "[Пропустить существующие]",
                          "p1",
                          "p2",
                          "[Вырезать]",
                          "c1",
                          "[Проверить пары]",
                          "# comment",
                          "\\\\a.exe=\\\\b.exe",
                          "next=one",
                          "x=y=z",
                          "=only"});
    ASSERT_TRUE(r.ok);
    // The comparison with the companion names is case-sensitive.
    EXPECT_EQ(r.settings.ignoreList, Lines({"кронваль", "b\\c.txt", "b\\c.txt", "Кронваль", "Вартель"}));
    EXPECT_EQ(r.settings.updateList, Lines({"Модули"}));
    EXPECT_TRUE(r.settings.hasUpdateList);
    EXPECT_EQ(r.settings.strictList, Lines({"s1"}));
    EXPECT_EQ(r.settings.skipExistingList, Lines({"p1", "p2"}));
    EXPECT_EQ(r.settings.cutList, Lines({"c1"}));
    ASSERT_EQ(r.settings.pairList.size(), 4u);
    EXPECT_EQ(r.settings.pairList[0].destination, "a.exe");
    EXPECT_EQ(r.settings.pairList[0].source, "b.exe");
    EXPECT_EQ(r.settings.pairList[1].destination, "next");
    EXPECT_EQ(r.settings.pairList[1].source, "one");
    EXPECT_EQ(r.settings.pairList[2].destination, "x");
    EXPECT_EQ(r.settings.pairList[2].source, "y=z");
    EXPECT_EQ(r.settings.pairList[3].destination, "");
    EXPECT_EQ(r.settings.pairList[3].source, "only");

    // Only comments: no entries and no defaults, but the companions.
    Loaded c = load(tmp, {kMain, dest, "[Игнорировать]", "# nothing", "[Обновлять]", "# none"});
    EXPECT_EQ(c.settings.ignoreList, Lines({"Кронваль", "Вартель"}));
    EXPECT_FALSE(c.settings.hasUpdateList);
    // Present companions are not repeated.
    Loaded d = load(tmp, {kMain, dest, "[Игнорировать]", "Вартель", "x", "Кронваль"});
    EXPECT_EQ(d.settings.ignoreList, Lines({"Вартель", "x", "Кронваль"}));
}

TEST(Settings, APairWithoutEqualsSignIsAnIniFault) {
    test::TempDir tmp;
    Loaded r = load(tmp, {kMain, "КаталогПриемник=" + (tmp / "dst"), "[Вырезать]", "c1", "[Проверить пары]", "a=b",
                          "no-equals", "c=d"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.settings.cutList, Lines({"c1"}));  // lists read so far stay
    ASSERT_EQ(r.settings.pairList.size(), 1u);
    EXPECT_EQ(
        test::readLines(tmp / "dst\\tolvaren.err"),
        Lines({"Ошибка в \"" + (tmp / "t.ini") + "\" невозможно определить путь-приемник в секции [Проверить пары]"}));
    EXPECT_FALSE(r.outLeft);
}

TEST(Settings, EmptyOrOverlongDirectoriesAreIniFaults) {
    test::TempDir tmp;
    const std::string warning = "Ошибка, не задан путь к каталогу приемнику. Синхронизация невозможна.";
    Loaded empty = load(tmp, {kMain, "КаталогПриемник=", "КаталогИсточник=" + tmp.path()});
    EXPECT_FALSE(empty.ok);
    ASSERT_EQ(empty.boxes.size(), 1u);
    EXPECT_EQ(empty.boxes[0].text, warning);
    EXPECT_EQ(empty.boxes[0].type, UINT(MB_ICONWARNING));
    EXPECT_EQ(empty.settings.sourceDir[0], '\0');  // nothing else read

    const std::string tooLong = "Ошибка, слишком длинный путь к каталогу приемнику. Синхронизация невозможна.";
    Loaded longDest = load(tmp, {kMain, "КаталогПриемник=" + tmp.path() + "\\" + std::string(1100, 'd')});
    EXPECT_FALSE(longDest.ok);
    ASSERT_EQ(longDest.boxes.size(), 1u);
    EXPECT_EQ(longDest.boxes[0].text, tooLong);
    EXPECT_EQ(longDest.settings.destDir[0], '\0');

    SetEnvironmentVariableA("TOLVAREN_TEST_LONG", std::string(1500, 'e').c_str());
    Loaded expanded = load(tmp, {kMain, "КаталогПриемник=" + tmp.path() + "\\%TOLVAREN_TEST_LONG%"});
    SetEnvironmentVariableA("TOLVAREN_TEST_LONG", nullptr);
    EXPECT_FALSE(expanded.ok);
    ASSERT_EQ(expanded.boxes.size(), 1u);
    EXPECT_EQ(expanded.boxes[0].text, tooLong);

    Loaded noSource = load(tmp, {kMain, "КаталогПриемник=" + (tmp / "dst"), "КаталогИсточник="});
    EXPECT_FALSE(noSource.ok);
    EXPECT_EQ(noSource.errLog, "Ошибка, не указан путь к каталогу источнику.  Синхронизация невозможна.\r\n");
    EXPECT_FALSE(noSource.outLeft);  // closed and deleted although the statistics switch never ran

    Loaded longSource =
        load(tmp, {kMain, "КаталогПриемник=" + (tmp / "dst"), "КаталогИсточник=C:\\" + std::string(1100, 's')});
    EXPECT_FALSE(longSource.ok);
    EXPECT_EQ(longSource.errLog, "Ошибка, слишком длинный путь к каталогу источнику. Синхронизация невозможна.\r\n");
    EXPECT_EQ(longSource.settings.sourceDir[0], '\0');
    EXPECT_FALSE(test::fileExists(tmp / "C:"));
}

TEST(Settings, ADestinationThatCannotBeCreatedRaisesAndOpensNoLog) {
    test::TempDir tmp;
    test::writeFile(tmp / "file", "in the way");
    Loaded r = load(tmp, {kMain, "КаталогПриемник=" + (tmp / "file\\dst")});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.raised, "невозможно создать каталог \"" + (tmp / "file") + "\" т.к. найден файл с тем же именем");
    EXPECT_FALSE(r.errLeft);
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.err"));
}

TEST(Settings, AnIniFileSavedInUtf8IsRefusedBeforeAnythingIsCreated) {
    test::TempDir tmp;
    // u8 literals stay UTF-8 whatever the execution character set.
    std::string utf8 = std::string(u8"[Основные параметры]\r\nКаталогПриемник=") + (tmp / "dst") + "\r\n";
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8}) {
        Loaded r = loadBytes(tmp / "u.ini", bytes);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].caption, "tolvaren");
        EXPECT_NE(r.boxes[0].text.find("UTF-8"), std::string::npos);
        EXPECT_NE(r.boxes[0].text.find("Windows-1251"), std::string::npos);
        EXPECT_EQ(r.settings.destDir[0], '\0');
        EXPECT_FALSE(test::fileExists(tmp / "dst"));
    }
}

TEST(Settings, AnIniFileWithNoneOfTheProgramsSectionsIsRefusedWhateverItsEncoding) {
    test::TempDir tmp;
    const std::string text = joinLines({kMain, "КаталогПриемник=" + (tmp / "dst"), "[Игнорировать]", "лишний"});
    for (const std::string& bytes : {encoded(text, 20866), encoded(text, 866), encoded(text, 1200),
                                     "[Main]\r\nDestination=" + (tmp / "dst") + "\r\n"}) {
        Loaded r = loadBytes(tmp / "x.ini", bytes);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, "Ошибка, файл инициализации \"" + (tmp / "x.ini") +
                                       "\" не содержит ни одной секции программы, например [Основные параметры].\n"
                                       "Если он сохранен не в кодировке Windows-1251 (ANSI), сохраните его в этой "
                                       "кодировке. Синхронизация невозможна.");
        EXPECT_FALSE(test::fileExists(tmp / "dst"));
    }
    // UTF-16 with its byte-order mark, which the profile functions read, works.
    Loaded marked = loadBytes(tmp / "w.ini", "\xFF\xFE" + encoded(text, 1200));
    EXPECT_TRUE(marked.ok);
    EXPECT_EQ(marked.settings.ignoreList.front(), "лишний");
    // Empty means the defaults; a section name in another letter case is
    // found, as the profile functions find it.
    for (const char* bytes : {"", "\r\n  \r\n", "[основные ПАРАМЕТРЫ]\r\n"}) {
        test::writeFile(tmp / "e.ini", bytes);
        test::resetBoxes();
        EXPECT_TRUE(iniFileReadable((tmp / "e.ini").c_str())) << bytes;
        EXPECT_TRUE(test::boxCalls().empty());
    }
}

TEST(Settings, Utf8IsToldApartFromWindows1251AndAscii) {
    auto check = [](const std::string& s) {
        return isUtf8WithNonAscii(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    };
    EXPECT_TRUE(check(u8"Каталог"));
    EXPECT_TRUE(check("\xEF\xBB\xBF"));              // a byte-order mark alone
    EXPECT_TRUE(check("a\xF0\x9F\x98\x80z"));        // four-byte sequence
    EXPECT_FALSE(check("[Main]\r\nkey=value\r\n"));  // ASCII reads as before
    EXPECT_FALSE(check("[Основные параметры]"));     // Windows-1251
    EXPECT_FALSE(check("Ёё"));
    EXPECT_FALSE(check("\xC0\x80"));          // overlong
    EXPECT_FALSE(check("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(check("\xD0"));              // cut short
    EXPECT_FALSE(check("\xF4\x90\x80\x80"));  // past U+10FFFF
}

TEST(Settings, StoreDirPathAddsTheBackslashOrRefuses) {
    char field[kPathBuffer];
    EXPECT_TRUE(storeDirPath(field, "C:\\x"));
    EXPECT_STREQ(field, "C:\\x\\");
    EXPECT_TRUE(storeDirPath(field, "C:\\x\\"));
    EXPECT_STREQ(field, "C:\\x\\");
    std::string fits(1022, 'a');
    EXPECT_TRUE(storeDirPath(field, fits.c_str()));
    EXPECT_EQ(std::string(field), fits + "\\");
    std::string closed = std::string(1022, 'a') + "\\";
    EXPECT_TRUE(storeDirPath(field, closed.c_str()));
    EXPECT_EQ(std::string(field), closed);
    for (const std::string& refused : {std::string(1023, 'a'), std::string(1023, 'a') + "\\", std::string()}) {
        EXPECT_FALSE(storeDirPath(field, refused.c_str()));
        EXPECT_EQ(field[0], '\0');
    }
}

TEST(Settings, UpperCasingFoldsLatinCyrillicAndYoOnly) {
    int changed = 0;
    for (int c = 0; c < 256; ++c)
        if (toUpper1251(static_cast<unsigned char>(c)) != c) ++changed;
    EXPECT_EQ(changed, 26 + 32 + 1);
    EXPECT_EQ(toUpper1251('a'), 'A');
    EXPECT_EQ(toUpper1251('z'), 'Z');
    EXPECT_EQ(toUpper1251(0xE0), 0xC0);  // а
    EXPECT_EQ(toUpper1251(0xFF), 0xDF);  // я
    EXPECT_EQ(toUpper1251(0xB8), 0xA8);  // ё
    for (unsigned char same : {0xA2, 0xB3, 0xBC, 0xBE, 0x9A, 0xC0, 0xA8, 0x40, 0x7B, 0x5A})
        EXPECT_EQ(toUpper1251(same), same) << int(same);
    char text[] = "да, Ёлка ёж";
    upperCase1251(text);
    EXPECT_STREQ(text, "ДА, ЁЛКА ЁЖ");
}

TEST(Settings, AnOverflowingSectionLosesItsCutLineAndRootsAreNormalised) {
    test::TempDir tmp;
    Lines lines = {kMain, "КаталогИсточник=" + tmp.path() + "\\\\a\\..\\src\\.",
                   "КаталогПриемник=" + tmp.path() + "/dst//sub\\..", "[Вырезать]"};
    std::size_t bytes = 0;
    for (int i = 0; bytes < 40000; ++i) {
        lines.push_back("entry_" + std::to_string(i) + "_keep_old_versions_archive");
        bytes += lines.back().size() + 1;
    }
    Loaded r = load(tmp, lines);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.settings.sourceDir), tmp.path() + "\\src\\");
    EXPECT_EQ(std::string(r.settings.destDir), tmp.path() + "\\dst\\");
    ASSERT_FALSE(r.settings.cutList.empty());
    // Every entry kept is a whole line of the file, none a cut one.
    for (const std::string& entry : r.settings.cutList)
        ASSERT_NE(std::find(lines.begin(), lines.end(), entry), lines.end()) << entry;
    EXPECT_LT(r.settings.cutList.size(), lines.size() - 4);
    EXPECT_EQ(test::readLines(tmp / "dst\\tolvaren.err"),
              Lines({"Ошибка в \"" + (tmp / "t.ini") +
                     "\" секция [Вырезать] слишком длинная, ее последняя строка не прочитана"}));
}
