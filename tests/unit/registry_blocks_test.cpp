// File lists stored in blocks and indexed by open addressing, against a plain
// model: the same entries in the same order, the same first match by the name
// rule, through appends, erasures during walks, emptying and refilling.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sync/registry.h"

namespace {

// The model: names and sizes in list order.
struct Model {
    std::vector<std::string> names;
    std::vector<uint64_t> sizes;

    int find(const std::string& name) const {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (nameMatch(names[i].c_str(), name.c_str())) return static_cast<int>(i);
        return -1;
    }
};

void expectSame(const FileList& files, const Model& model) {
    ASSERT_EQ(files.size(), model.names.size());
    std::size_t i = 0;
    for (const FileEntry& f : files) {
        ASSERT_LT(i, model.names.size());
        EXPECT_EQ(f.name, model.names[i]);
        EXPECT_EQ(f.size, model.sizes[i]);
        ++i;
    }
    EXPECT_EQ(i, model.names.size());
}

// Names from a small pool, so that matches by the name rule (Latin letters in
// either case) and exact duplicates are frequent; a few are long.
std::string randomName(std::mt19937& rnd) {
    static const char* const stems[] = {"a", "B", "readme", "Файл", "файл", "x.TXT", "X.txt", "Ёлка"};
    std::string name = stems[rnd() % 8];
    name += std::to_string(rnd() % 40);
    if (rnd() % 2) name += ".dat";
    if (rnd() % 50 == 0) name.append(259 - name.size(), rnd() % 2 ? 'q' : 'Q');
    return name;
}

}  // namespace

TEST(RegistryBlocks, ListsBehaveLikeThePlainModelThroughRandomChanges) {
    const unsigned seed = std::random_device{}();
    std::printf("seed %u\n", seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rnd(seed);
    FileList files;
    Model model;
    uint64_t nextSize = 1;
    for (int step = 0; step < 20000; ++step) {
        unsigned op = rnd() % 100;
        if (op < 60) {  // append
            std::string name = randomName(rnd);
            files.emplace_back(name.c_str()).size = nextSize;
            model.names.push_back(name);
            model.sizes.push_back(nextSize++);
        } else if (op < 97) {  // look up, and erase what was found now and then
            std::string name = randomName(rnd);
            FileEntry* found = files.find(name.c_str());
            int expected = model.find(name);
            ASSERT_EQ(found != nullptr, expected >= 0) << name;
            if (!found) continue;
            ASSERT_EQ(found->size, model.sizes[expected]) << name;
            if (rnd() % 2) {
                files.erase(found);
                model.names.erase(model.names.begin() + expected);
                model.sizes.erase(model.sizes.begin() + expected);
            }
        } else if (op < 98) {  // a walk that erases every entry of one size class
            unsigned mod = 2 + rnd() % 7;
            for (auto it = files.begin(); it != files.end();)
                it = it->size % mod == 0 ? files.erase(it) : std::next(it);
            Model kept;
            for (std::size_t i = 0; i < model.sizes.size(); ++i)
                if (model.sizes[i] % mod != 0) {
                    kept.names.push_back(model.names[i]);
                    kept.sizes.push_back(model.sizes[i]);
                }
            model = kept;
        } else if (op < 99) {  // a scan's end of a directory now and then, else a clear
            if (rnd() % 10) {
                files.trim();
                continue;
            }
            files.clear();
            model = Model();
        } else {  // moves and copies keep everything, the index included
            FileList moved = std::move(files);
            files = FileList(moved);
        }
        if (step % 997 == 0) expectSame(files, model);
    }
    expectSame(files, model);
}

TEST(RegistryBlocks, AFlatDirectoryOfFiftyThousandKeepsOrderAddressesAndLookups) {
    FileList files;
    std::vector<FileEntry*> at;
    char name[32];
    for (int i = 0; i < 50000; ++i) {
        if (i == 30001) files.trim();  // gives back the tail of a block: what it holds stays put
        std::snprintf(name, sizeof name, "file%05d.DAT", i);
        FileEntry& e = files.emplace_back(name);
        e.size = (static_cast<uint64_t>(5) << 30) + static_cast<uint64_t>(i);  // 5 GiB and more
        at.push_back(&e);
    }
    // Entries never move while the list grows or is trimmed.
    for (int i = 0; i < 50000; i += 7) {
        std::snprintf(name, sizeof name, "FILE%05d.dat", i);
        ASSERT_EQ(files.find(name), at[i]) << name;
    }
    // Erase every second entry through a walk, then through pointers every
    // third of the rest; the others keep their order, addresses and sizes.
    int i = 0;
    for (auto it = files.begin(); it != files.end(); ++i) it = i % 2 ? std::next(it) : files.erase(it);
    for (int k = 1; k < 50000; k += 6) files.erase(at[k]);
    std::vector<int> kept;
    for (int k = 1; k < 50000; k += 2)
        if (k % 6 != 1) kept.push_back(k);
    ASSERT_EQ(files.size(), kept.size());
    std::size_t n = 0;
    for (const FileEntry& f : files) {
        ASSERT_EQ(&f, at[kept[n]]);
        ASSERT_EQ(f.size, (static_cast<uint64_t>(5) << 30) + static_cast<uint64_t>(kept[n]));
        ++n;
    }
    for (int k = 0; k < 50000; k += 5) {
        std::snprintf(name, sizeof name, "file%05d.dat", k);
        bool present = k % 2 == 1 && k % 6 != 1;
        EXPECT_EQ(files.find(name), present ? at[k] : nullptr) << name;
    }
    // Erasing the last entries empties the list; it fills again from scratch.
    for (int k : kept) files.erase(at[k]);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(files.begin(), files.end());
    EXPECT_EQ(files.find("file00001.dat"), nullptr);
    files.emplace_back("again");
    EXPECT_STREQ(files.front().name, "again");
}
