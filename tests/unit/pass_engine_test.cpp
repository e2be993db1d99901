// The pass in-process, where the run must meet answers Wine does not give:
// a network error on the source root, a volume too small, a copy refused on
// a read-only or hidden destination; and the captions sent to a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/caption_probe.h"
#include "support/pass_fixture.h"
#include "support/test_support.h"
#include "sync/pass.h"

namespace {

using Lines = std::vector<std::string>;

struct PassTrees : test::WindowsLikeTrees {
    PassTrees() { run.settings.ignoreList = {"Кронваль", "Вартель"}; }
};

}  // namespace

TEST(PassEngine, TheSourceAccessErrorChoosesItsLine) {
    struct Case {
        DWORD code;
        std::string line;
    };
    PassTrees p;
    const std::string root = p.src + "\\";
    const Case cases[] = {
        {ERROR_BAD_NETPATH, "Ошибка: сетевой путь \"" + root + "\" не найден"},
        {ERROR_FILE_NOT_FOUND, "Ошибка: каталог источник \"" + root + "\" не существует, синхронизация невозможна"},
        {ERROR_PATH_NOT_FOUND, "Ошибка: каталог источник \"" + root + "\" не существует, синхронизация невозможна"},
        {ERROR_ACCESS_DENIED, "Ошибка: 5 доступа к каталогу источнику \"" + root + "\", синхронизация невозможна"},
    };
    test::writeFile(p.src + "\\a.txt", "a");
    int expectedErrors = 0;
    for (const Case& c : cases) {
        p.calls.attributesError = c.code;
        test::StreamCapture logs;
        EXPECT_FALSE(p.run.pass().run());
        EXPECT_EQ(logs.err(), Lines{c.line});
        EXPECT_TRUE(logs.out().empty());
        EXPECT_EQ(p.run.errorCount, ++expectedErrors);
    }
    EXPECT_FALSE(test::fileExists(p.dst + "\\a.txt"));
    EXPECT_TRUE(p.lists.copyList.empty());
}

TEST(PassEngine, AVolumeTooSmallChangesNothing) {
    PassTrees p;
    test::writeFile(p.src + "\\new.bin", std::string(100, 'n'));
    test::writeFile(p.dst + "\\extra.bin", std::string(30, 'e'));
    p.run.settings.deleteExtraFiles = true;
    p.calls.freeBytes = 60;  // 70 needed
    test::resetBoxes();
    test::StreamCapture logs;
    EXPECT_TRUE(p.run.pass().run());  // the shortfall is not counted
    EXPECT_EQ(logs.out().back(), "построение списков");
    EXPECT_EQ(test::boxCalls().size(), 1u);
    EXPECT_TRUE(test::fileExists(p.dst + "\\extra.bin"));
    EXPECT_FALSE(test::fileExists(p.dst + "\\new.bin"));
    EXPECT_EQ(p.run.errorCount, 0);
    test::resetBoxes();
}

TEST(PassEngine, ReadOnlyAndHiddenDestinationsAreOverwrittenAsOnWindows) {
    PassTrees p;
    test::CaptionProbe probe;
    p.run.captions = &probe;
    test::writeFile(p.src + "\\ro.txt", "new ro");
    test::writeFile(p.src + "\\hidden.txt", "new hidden");
    test::writeFile(p.dst + "\\ro.txt", "old ro");
    test::writeFile(p.dst + "\\hidden.txt", "old hidden");
    for (const char* name : {"\\ro.txt", "\\hidden.txt"})
        test::setFileTime(p.dst + name, test::addSeconds(test::fileTimeOf(p.src + name), -10));
    test::setAttributes(p.dst + "\\ro.txt", FILE_ATTRIBUTE_READONLY);
    test::setAttributes(p.dst + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    test::writeFile(p.src + "\\pair.src", "pair");
    test::writeFile(p.dst + "\\pair.dst", "old pair");
    test::setFileTime(p.dst + "\\pair.dst", test::addSeconds(test::fileTimeOf(p.src + "\\pair.src"), -10));
    test::setAttributes(p.dst + "\\pair.dst", FILE_ATTRIBUTE_READONLY);
    p.run.settings.pairList = {{"pair.src", "pair.dst"}};

    test::StreamCapture logs;
    EXPECT_TRUE(p.run.pass().run());
    EXPECT_TRUE(logs.err().empty());
    EXPECT_EQ(test::readFile(p.dst + "\\ro.txt"), "new ro");
    EXPECT_EQ(test::readFile(p.dst + "\\hidden.txt"), "new hidden");
    EXPECT_EQ(test::readFile(p.dst + "\\pair.dst"), "pair");
    Lines expected = {"Проверка доступа к каталогу источнику", "Cканирование каталога источника",
                      "Cканирование каталога приемника", "Cканирование каталогов", "Копирование"};
    ASSERT_EQ(probe.captions().size(), expected.size() + 2);  // one status per copied file
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), probe.captions().begin()));
    EXPECT_EQ(probe.captions()[1][0], 'C');  // the Latin letter
    for (std::size_t i = expected.size(); i < probe.captions().size(); ++i)
        EXPECT_EQ(probe.captions()[i].rfind("Копирование ...\\", 0), 0u) << probe.captions()[i];
}

// A source directory whose name differs from the destination's only in the
// case of Cyrillic letters cannot be created (the name is taken), so its
// files land in the existing directory: a read-only file there must still be
// made writable before it is overwritten.
TEST(PassEngine, FilesOfADirectoryThatCouldNotBeCreatedAreStillPreparedForOverwriting) {
    PassTrees p;
    test::writeFile(p.src + "\\Модули\\a.txt", "new");
    test::writeFile(p.dst + "\\модули\\a.txt", "old");
    test::setAttributes(p.dst + "\\модули\\a.txt", FILE_ATTRIBUTE_READONLY);

    test::StreamCapture logs;
    EXPECT_FALSE(p.run.pass().run());  // the creation failure is counted
    EXPECT_EQ(p.run.errorCount, 1);
    ASSERT_EQ(logs.err().size(), 1u);
    EXPECT_EQ(logs.err()[0].rfind("Ошибка 183 создания каталога", 0), 0u);
    EXPECT_EQ(test::readFile(p.dst + "\\модули\\a.txt"), "new");
}

// A share that goes away between the scans and the deletions: its absence
// must not read as "every destination file is surplus".
TEST(PassEngine, ASourceGoneBeforeTheDeletionsDeletesNothing) {
    struct Vanishing : test::WindowsLikeCalls {
        int asked = 0;
        DWORD getFileAttributes(const char* path) override {
            attributesError = ++asked > 1 ? ERROR_BAD_NETPATH : 0;
            return WindowsLikeCalls::getFileAttributes(path);
        }
    };
    PassTrees p;
    Vanishing vanishing;
    p.run.fs = &vanishing;
    p.run.settings.deleteExtraFiles = true;
    test::writeFile(p.src + "\\new.txt", "n");
    test::writeFile(p.dst + "\\extra.txt", "e");
    test::StreamCapture logs;
    EXPECT_FALSE(p.run.pass().run());
    EXPECT_EQ(logs.err(), Lines{"Ошибка: сетевой путь \"" + p.src + "\\\" не найден"});
    EXPECT_TRUE(test::fileExists(p.dst + "\\extra.txt"));
    EXPECT_FALSE(test::fileExists(p.dst + "\\new.txt"));
    p.run.fs = &p.calls;
}
