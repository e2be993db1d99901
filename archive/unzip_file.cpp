#include "archive/unzip_file.h"

#include <climits>

#include "unzip.h"

namespace {

// An entry is unpacked into memory as a whole: a splash picture never needs
// more, and a crafted archive must not exhaust memory.
constexpr long kEntryLimit = 64L * 1024 * 1024;
constexpr unsigned kChunk = 1024;

const char* const kNotFound = "Не удалось найти файл в архиве!";
const char* const kOpenEntryFailed = "Ошибка при открытии архивного файла!";
const char* const kReadFailed = "Ошибка при чтении файла в архиве!";
const char* const kCrcFailed = "Ошибка контрольной суммы!";
const char* const kFirstEntryFailed = "Ошибка при распаковке архива!";
const char* const kEntryInfoFailed = "Ошибка при открытии файла в архиве!";
const char* const kNextEntryFailed = "Ошибка при обработке архива!";

// Information and name of the current entry. minizip fills at most the size
// it is given and adds no terminator to a name that fills it, so it gets 259
// of the 260 bytes: longer names are cut to 259.
int currentEntry(unzFile archive, unz_file_info* info, char (&name)[260]) {
    name[sizeof name - 1] = '\0';
    return unzGetCurrentFileInfo(archive, info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
}

bool rewind(IStream* stream) {
    LARGE_INTEGER zero{};
    return SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
}

bool setSize(IStream* stream, long size) {
    ULARGE_INTEGER bytes;
    bytes.QuadPart = static_cast<unsigned long>(size);
    return SUCCEEDED(stream->SetSize(bytes));
}

bool write(IStream* stream, const char* bytes, int n) {
    ULONG written = 0;
    return SUCCEEDED(stream->Write(bytes, n, &written)) && written == static_cast<ULONG>(n);
}

}  // namespace

void UnZipFile::closeArchive(unzFile archive) { unzClose(archive); }

bool UnZipFile::Open(const char* path) {
    Close();
    handle.reset(unzOpen(path));
    ReadNames();
    return handle.valid();
}

void UnZipFile::Close() { handle.reset(); }

bool UnZipFile::Contains(const char* name) { return handle && unzLocateFile(handle.get(), name, 0) == UNZ_OK; }

bool UnZipFile::Extract(const char* name, IStream* stream, long* count) {
    if (!handle || unzLocateFile(handle.get(), name, 0) != UNZ_OK) return fail(kNotFound);
    unz_file_info info{};
    char entryName[260];
    if (currentEntry(handle.get(), &info, entryName) != UNZ_OK) return fail(kReadFailed);
    const long declared = static_cast<long>(info.uncompressed_size);
    if (info.uncompressed_size > static_cast<uLong>(kEntryLimit) || *count > LONG_MAX - declared)
        return fail(kReadFailed);
    if (unzOpenCurrentFile(handle.get()) != UNZ_OK) return fail(kOpenEntryFailed);
    // Sized once for the whole entry: growing a memory stream chunk by chunk
    // copies it over and over.
    if (!rewind(stream) || !setSize(stream, *count + declared)) return fail(kReadFailed);

    char buffer[kChunk];
    for (long read = 0;;) {
        int n = unzReadCurrentFile(handle.get(), buffer, kChunk);
        if (n < 0) return fail(kReadFailed);
        // More than declared (a zip64 size cut to 32 bits) could pass the limit.
        if (n > declared - read) return fail(kReadFailed);
        read += n;
        *count += n;
        if (!write(stream, buffer, n)) return fail(kReadFailed);
        if (n < static_cast<int>(kChunk)) break;
    }
    // An entry shorter than declared (its CRC then fails) keeps only its bytes.
    if (!setSize(stream, *count) || !rewind(stream)) return fail(kReadFailed);
    if (unzCloseCurrentFile(handle.get()) == UNZ_CRCERROR) return fail(kCrcFailed);
    return true;
}

bool UnZipFile::IsAvailable() { return true; }

bool UnZipFile::ReadNames() {
    names.clear();
    if (!handle || unzGoToFirstFile(handle.get()) != UNZ_OK) return fail(kFirstEntryFailed);
    for (;;) {
        unz_file_info info;
        char name[260];
        if (currentEntry(handle.get(), &info, name) != UNZ_OK) return fail(kEntryInfoFailed);
        names.push_back(name);
        int next = unzGoToNextFile(handle.get());
        if (next == UNZ_END_OF_LIST_OF_FILE) return true;
        if (next != UNZ_OK) return fail(kNextEntryFailed);
    }
}

bool UnZipFile::fail(const char* message) {
    lastError = message;
    return false;
}
