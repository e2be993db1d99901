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

// Appends n bytes to the stream, growing it to the new count first.
bool append(IStream* stream, const char* bytes, int n, long count) {
    ULARGE_INTEGER size;
    size.QuadPart = static_cast<unsigned long>(count);
    ULONG written = 0;
    return SUCCEEDED(stream->SetSize(size)) && SUCCEEDED(stream->Write(bytes, n, &written)) &&
           written == static_cast<ULONG>(n);
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
    if (currentEntry(handle.get(), &info, entryName) == UNZ_OK &&
        info.uncompressed_size > static_cast<uLong>(kEntryLimit))
        return fail(kReadFailed);
    if (unzOpenCurrentFile(handle.get()) != UNZ_OK) return fail(kOpenEntryFailed);
    if (!rewind(stream)) return fail(kReadFailed);

    char buffer[kChunk];
    long entryBytes = 0;
    for (;;) {
        int n = unzReadCurrentFile(handle.get(), buffer, kChunk);
        if (n < 0) return fail(kReadFailed);
        // The header's size may lie; the count itself must not overflow either.
        if (n > kEntryLimit - entryBytes || *count > LONG_MAX - n) return fail(kReadFailed);
        entryBytes += n;
        *count += n;
        if (!append(stream, buffer, n, *count)) return fail(kReadFailed);
        if (n < static_cast<int>(kChunk)) break;
    }
    if (!rewind(stream)) return fail(kReadFailed);
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
