// The wide long-path form given to CopyFileW.
#include <gtest/gtest.h>

#include "fsops/path_forms.h"

TEST(PathForms, LongFormsOfTheThreePathKinds) {
    const std::wstring start = L"D:\\work";
    EXPECT_EQ(toLongPath("C:\\dst\\.\\a.txt", start), L"\\\\?\\C:\\dst\\a.txt");
    EXPECT_EQ(toLongPath("\\\\srv\\share\\.\\a.txt", start), L"\\\\?\\UNC\\srv\\share\\a.txt");
    EXPECT_EQ(toLongPath("dst\\.\\a.txt", start), L"D:\\work\\dst\\a.txt");
    // Only the first three characters decide: these are relative.
    EXPECT_EQ(toLongPath("\\dir\\f", start), L"D:\\work\\\\dir\\f");
    EXPECT_EQ(toLongPath("C:dir", start), L"D:\\work\\C:dir");
    EXPECT_EQ(toLongPath(".\\a.txt", start), L"D:\\work\\a.txt");
    EXPECT_EQ(toLongPath("", start), L"D:\\work\\");
}

TEST(PathForms, OnlyTheFirstDotSegmentCollapses) {
    EXPECT_EQ(toLongPath("C:\\dst\\.\\a\\.\\b.txt", L"D:\\w"), L"\\\\?\\C:\\dst\\a\\.\\b.txt");
    EXPECT_EQ(toLongPath("C:\\dst\\a.txt", L"D:\\w"), L"\\\\?\\C:\\dst\\a.txt");
    // "..\" is no "\.\" segment.
    EXPECT_EQ(toLongPath("C:\\dst\\..\\a.txt", L"D:\\w"), L"\\\\?\\C:\\dst\\..\\a.txt");
}

TEST(PathForms, CyrillicNamesConvertThroughTheAnsiCodePage) {
    EXPECT_EQ(toLongPath("C:\\ДАРВ Клиент\\.\\Файл ё.txt", L"D:\\w"), L"\\\\?\\C:\\ДАРВ Клиент\\Файл ё.txt");
    std::wstring wide;
    ASSERT_TRUE(widenAnsi("Модули", wide));
    EXPECT_EQ(wide, L"Модули");
    ASSERT_TRUE(widenAnsi("", wide));
    EXPECT_EQ(wide, L"");
}

TEST(PathForms, LongPathsAreNotLimited) {
    std::string dir = "C:\\" + std::string(1500, 'x');
    std::wstring result = toLongPath((dir + "\\.\\f").c_str(), L"D:\\w");
    EXPECT_EQ(result.size(), 4 + dir.size() + 2);
    EXPECT_EQ(result.substr(result.size() - 2), L"\\f");
}
