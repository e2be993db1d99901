// The built-in INI template: its form, its layout, and what loading it gives.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "app/ini_template.h"
#include "app/load_settings.h"
#include "win/show_message.h"
#include "fsops/deletion_gate.h"
#include "fsops/directories.h"
#include "support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

std::string generateInto(const test::TempDir& tmp) {
    test::CurrentDirectory cd(tmp.path());
    test::resetBoxes();
    EXPECT_TRUE(generateIniFile());
    EXPECT_TRUE(test::boxCalls().empty());
    return test::readFile(tmp / "tolvaren.ini");
}

// Comment lines up to the next blank line or section, from i on.
int commentsFrom(const Lines& lines, std::size_t& i) {
    int n = 0;
    while (i < lines.size() && !lines[i].empty() && lines[i][0] == '#') ++n, ++i;
    return n;
}

}  // namespace

TEST(Template, IsWindows1251WithCrLfAnd145LinesWithoutAFinalLineEnd) {
    test::TempDir tmp;
    std::string bytes = generateInto(tmp);
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(0, 22), "[Основные параметры]\r\n");
    EXPECT_NE(bytes.back(), '\n');
    std::size_t crlf = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n') {
            ASSERT_EQ(bytes[i - 1], '\r') << "bare line feed at " << i;
            ++crlf;
        }
    EXPECT_EQ(crlf, 144u);
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini").size(), 145u);

    // Written again over an edited file.
    test::writeFile(tmp / "tolvaren.ini", "edited");
    EXPECT_EQ(generateInto(tmp), bytes);
}

TEST(Template, FollowsTheDocumentedLayout) {
    test::TempDir tmp;
    generateInto(tmp);
    Lines lines = test::readLines(tmp / "tolvaren.ini");
    ASSERT_EQ(lines.size(), 145u);
    std::size_t i = 0;
    ASSERT_EQ(lines[i++], "[Основные параметры]");
    ASSERT_EQ(lines[i++], "");
    struct Key {
        const char* line;
        int comments;
    };
    for (Key key : {Key{"#КаталогИсточник=", 2},
                    {"#КаталогПриемник=", 7},
                    {"#ПроверятьЗапущеноЛиУже=", 6},
                    {"#ПроверятьТолькоКорень=", 3},
                    {"#СниматьReadOnly=", 3},
                    {"#УдалятьНенужныеФайлы=", 3},
                    {"#Выполнить=", 4},
                    {"#КоманднаяСтрока=\"\"", 1},
                    {"#ВопросПриОшибке=", 5},
                    {"#ВыводитьСтатистикуСинхронизации=", 3}}) {
        ASSERT_EQ(lines[i++], key.line);
        ASSERT_EQ(lines[i++], "") << key.line;
        EXPECT_EQ(commentsFrom(lines, i), key.comments) << key.line;
        ASSERT_EQ(lines[i++], "") << key.line;
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "# КаталогПриемник=%HOMEDRIVE%%HOMEPATH%\\DARV_20_CLIENT"),
              lines.end());

    struct Section {
        const char* header;
        int comments;
        Lines entries;
    };
    for (const Section& s : {Section{"[Игнорировать]",
                                     9,
                                     {"tolvaren.err", "tolvaren.out", "tolvaren.exe", "Кронваль", "Вартель", "Update",
                                      "vostrin", "LOGS", "Тальмир\\Brimsel.log"}},
                             Section{"[Обновлять]", 7, {}}, Section{"[СтрогоСинхронизировать]", 7, {"Модули"}},
                             Section{"[Вырезать]", 7, {}}, Section{"[Пропустить существующие]", 6, {}},
                             Section{"[Проверить пары]", 8, {}}}) {
        ASSERT_EQ(lines[i++], s.header);
        EXPECT_EQ(commentsFrom(lines, i), s.comments) << s.header;
        for (const auto& entry : s.entries) EXPECT_EQ(lines[i++], entry) << s.header;
        ASSERT_EQ(lines[i++], "") << s.header;
    }
    EXPECT_EQ(lines[i++], "[Оформление]");
    EXPECT_EQ(lines[i++], "");
    EXPECT_EQ(lines[i++], "#ФоноваяКартинка=");
    EXPECT_EQ(lines[i++], "");
    EXPECT_EQ(commentsFrom(lines, i), 6);
    EXPECT_EQ(i, lines.size());
    for (const auto& line : lines) {
        if (!line.empty() && line[0] == '#' && line.find('=') == std::string::npos) {
            EXPECT_EQ(line.substr(0, 2), "# ") << line;
        }
    }
}

// The default destination lies on C:, so one test owns it and removes it.
TEST(Template, LoadingItOrAFileWithoutMainSectionGivesTheDefaults) {
    test::TempDir tmp;
    generateInto(tmp);
    test::writeFile(tmp / "bare.ini", "[Вырезать]\r\nx\r\n");
    const char* defaultDest = "C:\\ДАРВ Клиент";
    bool existed = test::fileExists(defaultDest);
    test::CurrentDirectory cd(tmp.path());
    for (std::string ini : {tmp / "tolvaren.ini", tmp / "bare.ini"}) {
        SettingsRecord s;
        bool ok;
        {
            test::KeepStandardStreams keep;
            int32_t errorCount = 0;
            RunLogs logs(s);
            ok = loadSettings(ini.c_str(), s, errorCount, logs);
        }
        ASSERT_TRUE(ok) << ini;
        EXPECT_EQ(std::string(s.destDir), "C:\\ДАРВ Клиент\\");
        EXPECT_EQ(std::string(s.sourceDir), tmp.path() + "\\");
        EXPECT_TRUE(s.clearReadOnly && s.askOnError);
        EXPECT_FALSE(s.deleteExtraFiles || s.rootOnly || s.writeStatistics || s.hasUpdateList);
        EXPECT_EQ(std::string(s.runCommand), "darv.exe");
        EXPECT_EQ(std::string(s.commandArguments), "");
        EXPECT_EQ(std::string(s.runningCheckPath), "darv.exe");
        EXPECT_TRUE(s.updateList.empty() && s.skipExistingList.empty() && s.pairList.empty());
        if (ini == tmp / "tolvaren.ini") {
            EXPECT_EQ(s.ignoreList, Lines({"tolvaren.err", "tolvaren.out", "tolvaren.exe", "Кронваль", "Вартель",
                                           "Update", "vostrin", "LOGS", "Тальмир\\Brimsel.log"}));
            EXPECT_EQ(s.strictList, Lines({"Модули"}));
            EXPECT_TRUE(s.cutList.empty());
        } else {
            EXPECT_EQ(s.ignoreList.size(), 6u);
            EXPECT_EQ(s.cutList, Lines({"x"}));
        }
        EXPECT_FALSE(test::fileExists("C:\\ДАРВ Клиент\\tolvaren.err"));
    }
    EXPECT_TRUE(test::isDirectory(defaultDest));
    int32_t errors = 0;
    if (!existed) DeletionGate("C:\\", "Z:\\no-source\\", errors).removeTree(defaultDest);
}

TEST(Template, AWriteThatFailsIsNotReportedAsGenerated) {
    test::TempDir tmp;
    // Writes to /dev/full fail with "no space left", as on a full disk.
    ASSERT_TRUE(test::makeUnixLink(tmp.path(), "/dev/full", "tolvaren.ini"));
    test::CurrentDirectory cwd(tmp.path());
    test::resetBoxes();
    EXPECT_FALSE(generateIniFile());
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, "Невозможно создать ini-файл");
    EXPECT_EQ(test::boxCalls()[0].caption, "tolvaren");
    EXPECT_EQ(test::boxCalls()[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.ini"));
}
