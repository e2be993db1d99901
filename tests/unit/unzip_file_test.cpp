// The zip reader on archives the tests write themselves.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <climits>
#include <string>
#include <vector>

#include "archive/unzip_file.h"
#include "support/stored_zip.h"
#include "support/test_support.h"
#include "win/unique_handle.h"

namespace {

using test::ZipBreak;
using test::ZipEntry;

const std::string kNotFound = "Не удалось найти файл в архиве!";
const std::string kReadFailed = "Ошибка при чтении файла в архиве!";
const std::string kCrcFailed = "Ошибка контрольной суммы!";
const std::string kFirstEntryFailed = "Ошибка при распаковке архива!";
const std::string kEntryInfoFailed = "Ошибка при открытии файла в архиве!";
const std::string kNextEntryFailed = "Ошибка при обработке архива!";

win::ComPtr<IStream> memoryStream() {
    win::ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    return stream;
}

ULONGLONG positionOf(IStream* stream) {
    LARGE_INTEGER zero{};
    ULARGE_INTEGER pos{};
    stream->Seek(zero, STREAM_SEEK_CUR, &pos);
    return pos.QuadPart;
}

// The whole stream, read from its start; the position is put back to 0.
std::string contentsOf(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    if (!bytes.empty()) stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return bytes;
}

std::string patterned(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

std::vector<std::string> namesOf(const UnZipFile& zip) { return {zip.names.begin(), zip.names.end()}; }

struct Archives : ::testing::Test {
    test::TempDir dir;
    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = dir / name;
        test::writeFile(path, bytes);
        return path;
    }
};

TEST_F(Archives, ListsNamesAndExtractsEntriesWhole) {
    const std::string kb = patterned(1024), big = patterned(3000), nested = "GIF89a-nested";
    std::string path =
        write("Фон архив.splash",
              test::storedZip(
                  {{"пусто.txt", ""}, {"kb.bin", kb}, {"Папка/Вложенная/Картинка.GIF", nested}, {"big.bmp", big}}));
    UnZipFile zip;
    ASSERT_TRUE(zip.IsAvailable());
    ASSERT_TRUE(zip.Open(path.c_str()));
    EXPECT_EQ(namesOf(zip),
              (std::vector<std::string>{"пусто.txt", "kb.bin", "Папка/Вложенная/Картинка.GIF", "big.bmp"}));
    EXPECT_EQ(zip.lastError, "");

    auto stream = memoryStream();
    long count = 0;
    ASSERT_TRUE(zip.Extract("пусто.txt", stream.get(), &count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(contentsOf(stream.get()), "");

    stream = memoryStream();
    count = 0;
    ASSERT_TRUE(zip.Extract("kb.bin", stream.get(), &count));
    EXPECT_EQ(count, 1024);
    EXPECT_EQ(positionOf(stream.get()), 0u);
    EXPECT_EQ(contentsOf(stream.get()), kb);

    stream = memoryStream();
    count = 0;
    ASSERT_TRUE(zip.Extract("big.bmp", stream.get(), &count));
    EXPECT_EQ(count, 3000);
    EXPECT_EQ(positionOf(stream.get()), 0u);
    EXPECT_EQ(contentsOf(stream.get()), big);

    // Only ASCII letters fold when an entry is located.
    stream = memoryStream();
    count = 0;
    ASSERT_TRUE(zip.Extract("Папка/Вложенная/Картинка.gif", stream.get(), &count));
    EXPECT_EQ(contentsOf(stream.get()), nested);
    EXPECT_EQ(count, static_cast<long>(nested.size()));
    EXPECT_TRUE(zip.Contains("KB.BIN"));
    EXPECT_FALSE(zip.Contains("папка/Вложенная/Картинка.GIF"));
    EXPECT_EQ(zip.lastError, "");

    EXPECT_FALSE(zip.Extract("папка/Вложенная/Картинка.GIF", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kNotFound);
}

TEST_F(Archives, CrcMismatchKeepsTheBytesButFails) {
    const std::string data = patterned(1500);
    std::string path = write("crc.zip", test::storedZip({{"bad.jpg", data, true}, {"good.jpg", "ok"}}));
    UnZipFile zip;
    ASSERT_TRUE(zip.Open(path.c_str()));
    auto stream = memoryStream();
    long count = 0;
    EXPECT_FALSE(zip.Extract("bad.jpg", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kCrcFailed);
    EXPECT_EQ(count, 1500);
    EXPECT_EQ(contentsOf(stream.get()), data);

    // The object stays usable, and a later success leaves the message.
    stream = memoryStream();
    count = 0;
    EXPECT_TRUE(zip.Extract("good.jpg", stream.get(), &count));
    EXPECT_EQ(contentsOf(stream.get()), "ok");
    EXPECT_EQ(zip.lastError, kCrcFailed);
}

TEST_F(Archives, BrokenArchivesKeepWhatWasRead) {
    UnZipFile zip;
    auto stream = memoryStream();
    long count = 0;

    // Not an archive at all, and no archive at all.
    EXPECT_FALSE(zip.Open(write("plain.splash", std::string(300, 'x')).c_str()));
    EXPECT_TRUE(zip.names.empty());
    EXPECT_EQ(zip.lastError, kFirstEntryFailed);
    zip.lastError.clear();
    EXPECT_FALSE(zip.Open((dir / "missing.zip").c_str()));
    EXPECT_EQ(zip.lastError, kFirstEntryFailed);
    EXPECT_FALSE(zip.Contains("x"));
    EXPECT_FALSE(zip.Extract("x", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kNotFound);

    // The directory breaks off after two of three entries.
    std::vector<ZipEntry> three = {{"a.txt", "A"}, {"b.gif", "B"}, {"c.jpg", "C"}};
    std::vector<ZipEntry> two(three.begin(), three.begin() + 2);
    ASSERT_TRUE(zip.Open(write("cut.zip", test::storedZip(two, ZipBreak::MissingLastHeader)).c_str()));
    EXPECT_EQ(namesOf(zip), (std::vector<std::string>{"a.txt", "b.gif"}));
    EXPECT_EQ(zip.lastError, kNextEntryFailed);
    // The failed step leaves minizip without a current entry: nothing listed
    // can be located any more.
    EXPECT_FALSE(zip.Contains("a.txt"));
    EXPECT_FALSE(zip.Extract("b.gif", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kNotFound);
    EXPECT_EQ(count, 0);

    // The last header's name runs past the end of the file.
    ASSERT_TRUE(zip.Open(write("name.zip", test::storedZip(three, ZipBreak::NameRunsPastEnd)).c_str()));
    EXPECT_EQ(namesOf(zip), (std::vector<std::string>{"a.txt", "b.gif"}));
    EXPECT_EQ(zip.lastError, kEntryInfoFailed);

    // minizip takes an end record at offset 0 for none: an archive without
    // entries does not open.
    zip.lastError.clear();
    EXPECT_FALSE(zip.Open(write("empty.zip", test::storedZip({})).c_str()));
    EXPECT_TRUE(zip.names.empty());
    EXPECT_EQ(zip.lastError, kFirstEntryFailed);
}

TEST_F(Archives, SecondOpenReplacesTheFirstArchive) {
    std::string first = write("first.zip", test::storedZip({{"one.bmp", "1"}, {"two.bmp", "2"}}));
    std::string second = write("second.zip", test::storedZip({{"three.gif", "3"}}));
    UnZipFile zip;
    ASSERT_TRUE(zip.Open(first.c_str()));
    ASSERT_TRUE(zip.Open(second.c_str()));
    EXPECT_EQ(namesOf(zip), (std::vector<std::string>{"three.gif"}));
    EXPECT_FALSE(zip.Contains("one.bmp"));
    EXPECT_TRUE(zip.Contains("three.gif"));

    // Close keeps the names but nothing can be found any more.
    zip.Close();
    EXPECT_EQ(namesOf(zip), (std::vector<std::string>{"three.gif"}));
    auto stream = memoryStream();
    long count = 0;
    EXPECT_FALSE(zip.Extract("three.gif", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kNotFound);
    // The first archive is no longer held open: it can be replaced.
    EXPECT_TRUE(DeleteFileA(first.c_str()));
}

TEST_F(Archives, LongNamesAreCutAt259AndFoundOnlyBelow256) {
    const std::string n255 = "a" + std::string(254, 'x'), n256 = "b" + std::string(255, 'x'),
                      n259 = "c" + std::string(258, 'x'), n260 = "d" + std::string(259, 'x'),
                      n300 = "e" + std::string(299, 'x');
    std::string path =
        write("long.zip", test::storedZip({{n255, "255"}, {n256, "256"}, {n259, "259"}, {n260, "260"}, {n300, "300"}}));
    UnZipFile zip;
    ASSERT_TRUE(zip.Open(path.c_str()));
    EXPECT_EQ(zip.lastError, "");
    EXPECT_EQ(namesOf(zip), (std::vector<std::string>{n255, n256, n259, n260.substr(0, 259), n300.substr(0, 259)}));

    auto stream = memoryStream();
    long count = 0;
    EXPECT_TRUE(zip.Extract(n255.c_str(), stream.get(), &count));
    EXPECT_EQ(contentsOf(stream.get()), "255");
    EXPECT_FALSE(zip.Contains(n256.c_str()));
    count = 0;
    EXPECT_FALSE(zip.Extract(n256.c_str(), stream.get(), &count));
    EXPECT_EQ(zip.lastError, kNotFound);
    EXPECT_FALSE(zip.Contains(zip.names.back().c_str()));
}

TEST_F(Archives, OversizedEntriesAndCountOverflowAreRefused) {
    const long kLimit = 64L * 1024 * 1024;
    ZipEntry huge{"huge.jpg", "small really"};
    huge.declaredSize = kLimit + 1;
    ZipEntry atLimit{"limit.jpg", "also small"};
    atLimit.declaredSize = kLimit;
    std::string path = write("sizes.zip", test::storedZip({huge, atLimit, {"kb.gif", patterned(1024)}}));
    UnZipFile zip;
    ASSERT_TRUE(zip.Open(path.c_str()));

    auto stream = memoryStream();
    long count = 0;
    EXPECT_FALSE(zip.Extract("huge.jpg", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kReadFailed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(contentsOf(stream.get()), "");

    // A size at the limit is not refused up front; the bytes that are there arrive.
    zip.lastError.clear();
    EXPECT_TRUE(zip.Extract("limit.jpg", stream.get(), &count));
    EXPECT_EQ(contentsOf(stream.get()), "also small");

    // The signed 32-bit count must not wrap.
    stream = memoryStream();
    count = LONG_MAX - 100;
    EXPECT_FALSE(zip.Extract("kb.gif", stream.get(), &count));
    EXPECT_EQ(zip.lastError, kReadFailed);
    EXPECT_EQ(count, LONG_MAX - 100);
}

}  // namespace
