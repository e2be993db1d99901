// The program's texts are Windows-1251 bytes and it runs under code page 1251.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>

TEST(Encoding, LiteralsAreWindows1251AndTheCodePageMatches) {
    const char* word = "Ошибка";
    ASSERT_EQ(std::strlen(word), 6u);
    EXPECT_EQ(static_cast<unsigned char>(word[0]), 0xCEu);  // 'О'
    EXPECT_EQ(GetACP(), 1251u);
}
