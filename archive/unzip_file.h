// The zip reader, over minizip's unzip interface.
#pragma once

#include "archive/de_archive_file.h"
#include "win/unique_handle.h"

typedef void* unzFile;

class UnZipFile : public DeArchiveFile {
public:
    bool Open(const char* path) override;
    void Close() override;
    bool Contains(const char* name) override;
    bool Extract(const char* name, IStream* stream, long* count) override;
    bool IsAvailable() override;
    bool ReadNames() override;

private:
    bool fail(const char* message);  // keeps the message, returns false
    static void closeArchive(unzFile archive);

    win::UniqueHandle<unzFile, &closeArchive> handle;  // null while no archive is open
};
