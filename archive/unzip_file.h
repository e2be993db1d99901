// The zip reader, over minizip's unzip interface.
#pragma once

#include "archive/de_archive_file.h"

typedef void* unzFile;

class UnZipFile : public DeArchiveFile {
public:
    UnZipFile() = default;
    ~UnZipFile() override;
    bool Open(const char* path) override;
    void Close() override;
    bool Contains(const char* name) override;
    bool Extract(const char* name, IStream* stream, long* count) override;
    bool IsAvailable() override;
    bool ReadNames() override;

private:
    unzFile handle = nullptr;
};
