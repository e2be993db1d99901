// File entries sized to their names: the names stay whole up to 259
// characters, and entries copied, moved or assigned in and out of a list keep
// their own text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "sync/registry.h"

TEST(RegistryEntry, NamesOfEveryLengthUpTo259StayWhole) {
    SyncRegistry registry;
    WIN32_FIND_DATAA data{};
    for (std::size_t n : {1u, 7u, 8u, 15u, 16u, 258u, 259u}) {
        std::string name(n, 'x');
        name[0] = static_cast<char>('\xE0');  // a Cyrillic byte: copied exactly
        std::memcpy(data.cFileName, name.c_str(), n + 1);
        data.nFileSizeLow = static_cast<DWORD>(n);
        FileEntry& e = addFile(registry.root, data);
        EXPECT_EQ(e.name, name);
        EXPECT_EQ(e.size, n);
        EXPECT_EQ(registry.root->record.files.find(name.c_str()), &e);
    }
    EXPECT_EQ(registry.root->record.files.size(), 7u);
}

TEST(RegistryEntry, CopiesAndAssignmentsKeepTheirOwnText) {
    FileList files;
    FileEntry& inList = files.emplace_back("a.txt");
    inList.size = 5;

    FileEntry copy = inList;  // out of the list: room for any name
    std::strcpy(copy.name, std::string(259, 'c').c_str());
    EXPECT_STREQ(inList.name, "a.txt");
    EXPECT_EQ(copy.size, 5u);

    inList = copy;  // longer than the list's room for it
    EXPECT_EQ(std::string(inList.name), std::string(259, 'c'));
    copy.name[0] = 'd';
    EXPECT_EQ(inList.name[0], 'c');

    FileEntry moved = std::move(copy);
    EXPECT_EQ(moved.name[0], 'd');
    moved = files.front();
    moved = moved;
    EXPECT_EQ(std::string(moved.name), std::string(259, 'c'));

    FileEntry& again = files.push_back(moved);
    EXPECT_NE(again.name, moved.name);
    EXPECT_STREQ(again.name, moved.name);
    files.clear();
    EXPECT_EQ(std::strlen(moved.name), 259u);
}
