// Selection rules on real trees: every list, the priorities between them,
// the cut stage on disk and the strict test.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/pass_fixture.h"

using test::describe;

namespace {

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}
using Lines = std::vector<std::string>;

}  // namespace

TEST(EngineRules, RuleListMatchUpperCasesWholePaths) {
    EXPECT_TRUE(ruleListMatch("logs", {"LOGS"}));
    EXPECT_FALSE(ruleListMatch("bin\\LOGS", {"LOGS"}));
    EXPECT_TRUE(ruleListMatch("модули", {"x", "Модули"}));
    EXPECT_TRUE(ruleListMatch("ёлка\\Ж.txt", {"ЁЛКА\\ж.TXT"}));
    EXPECT_FALSE(ruleListMatch("LOGS", {"LOGS\\"}));
    RuleSet set({"Модули", "LOGS"});
    EXPECT_TRUE(set.matches("модули"));
    EXPECT_FALSE(set.matches("модули\\x"));

    // During the scans: "LOGS" drops the root logs on both sides, not bin\LOGS;
    // "Модули" drops модули with everything in it.
    test::EngineTrees t;
    t.run.settings.ignoreList = {"LOGS", "Модули", "LOGS\\"};
    t.run.settings.deleteExtraFiles = true;
    t.put(t.src, "logs\\a.log");
    t.put(t.src, "bin\\LOGS\\b.log");
    t.put(t.src, "модули\\m.dll");
    t.put(t.dst, "Logs\\old.log");
    t.put(t.dst, "модули\\gone.dll");
    test::StreamCapture streams;
    t.lists = test::buildWorkLists(t.run);
    EXPECT_EQ(sorted(describe(t.lists.copyList)), (Lines{".\\bin M:", ".\\bin\\LOGS M: b.log"}));
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\bin\\LOGS M:"}));  // below a missing directory
    EXPECT_EQ(t.run.errorCount, 0);
}

TEST(EngineRules, RemoveByPathWalksComponentsByTheNameRule) {
    SyncRegistry r;
    DirNode* bin = createNode("Bin");
    appendChild(r.root, bin);
    DirNode* mod = createNode("Модули");
    appendChild(bin, mod);
    WIN32_FIND_DATAA d{};
    strcpy(d.cFileName, "App.DLL");
    addFile(bin, d);
    addFile(mod, d);
    for (const char* none : {"", "\\bin\\app.dll", "bin\\", "bin\\\\app.dll", "C:\\bin\\app.dll", "bin\\модули",
                             "nothing\\app.dll", "bin\\nothing"})
        EXPECT_FALSE(removeByPath(r.root, none)) << none;
    EXPECT_TRUE(removeByPath(r.root, "BIN\\app.dll"));
    EXPECT_TRUE(bin->record.files.empty());
    EXPECT_TRUE(removeByPath(r.root, "bin\\Модули"));
    EXPECT_EQ(bin->firstChild, nullptr);
    EXPECT_TRUE(removeByPath(r.root, "bin"));
    EXPECT_EQ(r.root->firstChild, nullptr);
}

TEST(EngineRules, UpdateListKeepsOnlyWhatItNamesAndIgnoreWins) {
    test::EngineTrees t;
    SettingsRecord& s = t.run.settings;
    s.updateList = {"bin\\a.dll", "new\\x.dll", "new2", "cfg"};
    s.hasUpdateList = true;
    s.ignoreList = {"cfg"};
    s.deleteExtraFiles = true;
    t.put(t.src, "root.txt");
    t.put(t.src, "bin\\a.dll", 100);
    t.put(t.src, "bin\\b.dll");
    t.put(t.src, "new\\x.dll");
    t.put(t.src, "new2\\y.dll");
    t.put(t.src, "new2\\sub\\z.dll");
    t.put(t.src, "cfg\\c.ini", 100);
    t.put(t.dst, "bin\\a.dll");
    t.put(t.dst, "bin\\other.dll");
    t.put(t.dst, "cfg\\c.ini");
    t.put(t.dst, "stale.txt");
    Pass pass = t.run.pass();
    pass.buildWorkLists();
    // bin\a.dll alone in bin; new drops out because the destination has
    // nothing listed in it; new2 is listed itself and comes whole; cfg is
    // ignored although listed for update.
    EXPECT_EQ(sorted(describe(pass.copyList)), (Lines{".\\bin: a.dll", ".\\new2 M: y.dll", ".\\new2\\sub M: z.dll"}));
    EXPECT_EQ(describe(pass.deleteList), (Lines{".\\new2\\sub M:"}));
    EXPECT_EQ(pass.emptiedByUpdate, (Lines{"new"}));
    EXPECT_EQ(s.ignoreList, (Lines{"cfg"}));  // the settings stay as read
}

TEST(EngineRules, StrictTestIsByteExactAndReducesWorkListPaths) {
    SettingsRecord s;
    s.strictList = {"Модули", "data\\sub"};
    EXPECT_TRUE(strictTest(s, "Модули"));
    EXPECT_TRUE(strictTest(s, "Модули\\old"));
    EXPECT_TRUE(strictTest(s, "Z:\\dst\\.\\Модули\\x.dll"));
    EXPECT_TRUE(strictTest(s, "Z:\\dst\\.\\Модули\\deep\\x.dll"));
    EXPECT_FALSE(strictTest(s, "Z:\\dst\\.\\модули\\x.dll"));
    EXPECT_TRUE(strictTest(s, "data\\sub"));
    EXPECT_TRUE(strictTest(s, "Z:\\dst\\.\\data\\sub"));
    EXPECT_FALSE(strictTest(s, "data\\sub\\x.dll"));
    EXPECT_FALSE(strictTest(s, "DATA\\sub"));
    EXPECT_FALSE(strictTest(s, ("Модули\\" + std::string(1100, 'x')).c_str()));

    // In the destination scan, without deleteExtraFiles: a destination-only
    // directory under Модули is recorded for removal, others leave no trace.
    test::EngineTrees t;
    t.run.settings.strictList = {"Модули"};
    t.put(t.src, "Модули\\keep.txt");
    t.put(t.dst, "Модули\\keep.txt");
    t.put(t.dst, "Модули\\old\\f.txt");
    t.put(t.dst, "Модули\\x.dll");
    t.put(t.dst, "other\\y.txt");
    t.put(t.dst, "z.txt");
    {
        test::StreamCapture streams;
        t.lists = test::buildWorkLists(t.run);
    }
    EXPECT_TRUE(t.lists.copyList.empty());
    EXPECT_EQ(sorted(describe(t.lists.deleteList)), (Lines{".: z.txt", ".\\Модули: x.dll", ".\\Модули\\old D:"}));

    // Strict acts only inside what update and ignore left.
    test::EngineTrees u;
    u.run.settings.strictList = {"Модули"};
    u.run.settings.updateList = {"Модули\\keep.txt"};
    u.run.settings.hasUpdateList = true;
    u.put(u.src, "Модули\\keep.txt", 100);
    u.put(u.dst, "Модули\\keep.txt");
    u.put(u.dst, "Модули\\old\\f.txt");
    u.put(u.dst, "Модули\\x.dll");
    {
        test::StreamCapture streams;
        u.lists = test::buildWorkLists(u.run);
    }
    EXPECT_EQ(describe(u.lists.copyList), (Lines{".\\Модули: keep.txt"}));
    EXPECT_TRUE(u.lists.deleteList.empty());
}

TEST(EngineRules, CutStageRemovesFromBothRegistriesAndFromDisk) {
    test::EngineTrees t;
    std::string outside = t.tmp / "outside";
    t.put(t.src, "old\\a.txt");
    t.put(t.dst, "old\\b.txt");
    t.put(t.dst, "keep\\c.txt");
    t.put(t.dst, "single.txt");
    t.put(t.dst, "dotlogs\\l.txt");
    t.put(t.dst, "b\\m.txt");
    t.put(t.src, "СТАРОЕ\\s.txt");
    t.put(t.dst, "Старое\\s.txt");
    test::writeFile(outside + "\\x\\f.txt", "x");
    test::writeFile(outside + "\\y.txt", "y");
    // Entries that stay inside the destination are honoured however written;
    // a letter-case variant leaves the registries as it leaves the disk.
    t.run.settings.cutList = {"old", "single.txt", ".\\dotlogs", "a\\..\\b", "старое",
                              // the rest names the root, lies above it or outside it: refused
                              outside + "\\x", ".", "..", "keep\\..\\..", "", outside + "\\.", "../..", "keep/../..",
                              "/"};
    test::StreamCapture streams;
    t.lists = test::buildWorkLists(t.run);
    for (const char* gone : {"old", "single.txt", "dotlogs", "b", "Старое"})
        EXPECT_FALSE(test::fileExists(t.dst + "\\" + gone)) << gone;
    EXPECT_TRUE(test::fileExists(outside + "\\x\\f.txt"));
    EXPECT_TRUE(test::fileExists(outside + "\\y.txt"));
    EXPECT_TRUE(test::fileExists(t.dst + "\\keep\\c.txt"));
    EXPECT_TRUE(test::fileExists(t.src + "\\old\\a.txt"));
    EXPECT_TRUE(t.lists.copyList.empty());  // neither old nor СТАРОЕ is copied back
    EXPECT_TRUE(t.lists.deleteList.empty());
    // Refused cut entries are told in the statistics and fail no run.
    EXPECT_EQ(t.run.errorCount, 0);
    EXPECT_TRUE(streams.err().empty());
    Lines refusals;
    for (const std::string& line : streams.out())
        if (line.find(", не удален") != std::string::npos) refusals.push_back(line);
    ASSERT_EQ(refusals.size(), 9u);
    EXPECT_EQ(refusals[0], "Ошибка: путь \"" + outside +
                               "\\x\" не указывает на файл или каталог внутри "
                               "каталога приемника, не удален");
}

TEST(EngineRules, SkipExistingAtDepth) {
    test::EngineTrees t;
    t.run.settings.deleteExtraFiles = true;
    t.run.settings.skipExistingList = {"conf\\settings.ini", "data", "missing.ini"};
    t.put(t.src, "conf\\settings.ini", 100);
    t.put(t.src, "conf\\new.ini");
    t.put(t.dst, "conf\\settings.ini");
    t.put(t.src, "data\\a.txt", 100);
    t.put(t.src, "data\\deep\\b.txt", 100);
    t.put(t.src, "data\\deep\\c.txt");
    t.put(t.dst, "data\\a.txt");
    t.put(t.dst, "data\\deep\\b.txt");
    t.put(t.dst, "data\\deep\\only.txt");
    t.put(t.src, "missing.ini");
    test::StreamCapture streams;
    t.lists = test::buildWorkLists(t.run);
    EXPECT_EQ(sorted(describe(t.lists.copyList)),
              (Lines{".: missing.ini+", ".\\conf: new.ini+", ".\\data\\deep: c.txt+"}));
    EXPECT_EQ(describe(t.lists.deleteList), (Lines{".\\data\\deep: only.txt"}));
}

TEST(EngineRules, PairsLeaveTheRegistries) {
    test::EngineTrees t;
    t.run.settings.deleteExtraFiles = true;
    t.run.settings.pairList = {SyncPair{"a.src", "a.dst"}, SyncPair{"libdir", "nothing.dll"}};
    t.put(t.src, "a.src", 100);
    t.put(t.dst, "a.dst");
    t.put(t.src, "libdir\\l.dll", 100);
    t.put(t.dst, "libdir\\l.dll");
    t.put(t.dst, "libdir\\extra.dll");
    t.put(t.src, "b.txt", 100);
    t.put(t.dst, "b.txt");
    test::StreamCapture streams;
    t.lists = test::buildWorkLists(t.run);
    // A pair naming a directory on one side only takes that directory out
    // of the pass on both sides.
    EXPECT_EQ(describe(t.lists.copyList), (Lines{".: b.txt"}));
    EXPECT_TRUE(t.lists.deleteList.empty());
}
