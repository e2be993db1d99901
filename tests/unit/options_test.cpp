// Command-line options and the INI path, in-process with scripted boxes.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>

#include "app/ini_path.h"
#include "app/options.h"
#include "win/show_message.h"
#include "support/test_support.h"

namespace {

const char* const kGenerated =
    "ini-файл сгенерирован.\nОтредактируйте  'tolvaren.ini'  перед\nследующим запуском программы.";
const char* const kBadName = "Ошибка при задании имени ini-файла.\n Задайте существующий файл.";

// Runs a test body in a fresh current directory with quiet mode off and no
// scripted box left over.
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        quietMode = false;
        test::resetBoxes();
    }
    void TearDown() override {
        quietMode = false;
        test::resetBoxes();
    }
    std::string resolve(const char* arguments, bool* found = nullptr) {
        char path[kPathBuffer] = "unchanged";
        bool ok = resolveIniPath(arguments, path);
        if (found) *found = ok;
        return ok ? path : "";
    }
    test::TempDir tmp;

private:
    test::CurrentDirectory inTmp_{tmp.path()};
};

}  // namespace

TEST(Options, AreFoundCaseInsensitivelyBetweenDelimitersOnly) {
    for (const char* present : {"/g", "/G", "a.ini /g", "/g a.ini", "x /g\b", "\n/g\r", "\b/G", "a\r/g\n"})
        EXPECT_TRUE(findOption(present, "/g")) << present;
    for (const char* absent : {"", "x/g", "/gx", "\t/g", "/g\t", "a.ini\t/g", "-g", "/n", "x/g /g"})
        EXPECT_FALSE(findOption(absent, "/g")) << absent;
}

TEST_F(CommandLine, HelpShowsTheUsageOnlyAndGenerateWinsOverIt) {
    EXPECT_FALSE(parseOptions("/H"));
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, kUsageText);
    EXPECT_EQ(test::boxCalls()[0].caption, "tolvaren");
    EXPECT_EQ(test::boxCalls()[0].type, UINT(MB_ICONINFORMATION));
    EXPECT_EQ(std::string(kUsageText).find("/n"), std::string::npos);
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.ini"));

    test::resetBoxes();
    EXPECT_FALSE(parseOptions("/g /h"));
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, kGenerated);
    EXPECT_EQ(test::boxCalls()[0].type, UINT(MB_OK));
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini").size(), 145u);

    test::resetBoxes();
    EXPECT_TRUE(parseOptions("a.ini"));
    EXPECT_TRUE(parseOptions("a.ini\t/h"));
    EXPECT_FALSE(quietMode);
    EXPECT_TRUE(test::boxCalls().empty());
}

TEST_F(CommandLine, QuietGenerationOverwritesWithoutAnyBoxAndQuietHelpGoesToTheErrorStream) {
    test::writeFile(tmp / "tolvaren.ini", "edited");
    {
        test::CaptureStderr err;
        EXPECT_FALSE(parseOptions("/N /G"));
        EXPECT_EQ(err.text().substr(0, 23), "ini-файл сгенерирован.\r");
    }
    EXPECT_TRUE(quietMode);
    EXPECT_TRUE(test::boxCalls().empty());
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini").size(), 145u);

    test::CaptureStderr err;
    EXPECT_FALSE(parseOptions("/n /h"));
    std::string text = err.text();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // a text-mode stream
    EXPECT_EQ(text, kUsageText);                                          // no line end added
    EXPECT_TRUE(test::boxCalls().empty());
}

TEST_F(CommandLine, GenerationThatCannotWriteIsReportedAndConfirmsNothing) {
    test::makeDirs(tmp / "tolvaren.ini");  // a directory in the way
    EXPECT_FALSE(parseOptions("/g"));
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, "Невозможно создать ini-файл");
    EXPECT_EQ(test::boxCalls()[0].type, UINT(MB_ICONERROR));
}

TEST_F(CommandLine, IniNamesTakeTheirFormsAndEndAtTheFirstBlank) {
    test::writeFile(tmp / "tolvaren.ini", "");
    test::writeFile(tmp / "a.ini", "");
    test::writeFile(tmp / "sub\\b.ini", "");
    test::writeFile(tmp / "my", "");
    EXPECT_EQ(resolve(""), tmp / "tolvaren.ini");
    EXPECT_EQ(resolve("a.ini /n"), tmp / "a.ini");
    EXPECT_EQ(resolve("sub\\b.ini"), tmp / "sub\\b.ini");
    EXPECT_EQ(resolve("my settings.ini"), tmp / "my");
    EXPECT_EQ(resolve("\\a.ini"), tmp.path() + "\\\\a.ini");  // appended unchanged
    EXPECT_EQ(resolve((tmp / "a.ini").c_str()), tmp / "a.ini");
    EXPECT_TRUE(test::boxCalls().empty());
}

TEST_F(CommandLine, AMissingOrUnusableNameIsRefused) {
    bool found = true;
    for (std::string name : std::initializer_list<std::string>{
             "/n", "missing.ini", "\"a.ini\"", "\\\\srv\\share\\a.ini", "C:a.ini", std::string(1100, 'x')}) {
        test::resetBoxes();
        EXPECT_EQ(resolve(name.c_str(), &found), "") << name;
        EXPECT_FALSE(found);
        ASSERT_EQ(test::boxCalls().size(), 1u) << name;
        EXPECT_EQ(test::boxCalls()[0].text, kBadName);
        EXPECT_EQ(test::boxCalls()[0].type, UINT(MB_ICONERROR));
    }
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.ini"));
}

TEST_F(CommandLine, WithoutAnyIniFileTheUserIsOfferedATemplateUnlessQuiet) {
    bool found = true;
    test::queueBoxAnswer(IDNO);
    resolve("", &found);
    EXPECT_FALSE(found);
    ASSERT_EQ(test::boxCalls().size(), 1u);
    EXPECT_EQ(test::boxCalls()[0].text, "Не существует ini-файл.\n Сгенерировать файл?");
    EXPECT_EQ(test::boxCalls()[0].caption, "tolvaren");
    EXPECT_EQ(test::boxCalls()[0].type, UINT(MB_ICONERROR | MB_YESNO));
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.ini"));

    test::resetBoxes();
    test::queueBoxAnswer(IDYES);
    resolve("", &found);
    EXPECT_FALSE(found);  // a generated file serves the next start only
    ASSERT_EQ(test::boxCalls().size(), 2u);
    EXPECT_EQ(test::boxCalls()[1].text, kGenerated);
    EXPECT_EQ(test::readLines(tmp / "tolvaren.ini").size(), 145u);

    DeleteFileA((tmp / "tolvaren.ini").c_str());
    test::resetBoxes();
    quietMode = true;
    resolve("", &found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(test::boxCalls().empty());
    EXPECT_FALSE(test::fileExists(tmp / "tolvaren.ini"));
}
