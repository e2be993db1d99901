// A small interface for reading archives: list the entries, unpack one into
// a COM stream in memory.
#pragma once

#include <objidl.h>
#include <list>
#include <string>

class DeArchiveFile {
public:
    virtual ~DeArchiveFile() = default;
    virtual bool Open(const char* path) = 0;
    virtual void Close() = 0;
    virtual bool Contains(const char* name) = 0;
    // Unpacks the entry into the stream; *count grows by the bytes written.
    virtual bool Extract(const char* name, IStream* stream, long* count) = 0;
    virtual bool IsAvailable() = 0;
    virtual bool ReadNames() = 0;

    std::list<std::string> names;  // entry names in archive order, at most 259 bytes each
    std::string lastError;         // message of the most recent failure
};
