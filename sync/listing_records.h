// The records of one listing, kept compactly while it waits for the scan:
// a WIN32_FIND_DATAA takes 320 bytes whatever its name, here a record takes
// its fields and its name, one after another in one byte buffer.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstring>
#include <vector>

class ListingRecords {
public:
    // Keeps every field that scan::narrowRecord fills in, and exact.
    void add(const WIN32_FIND_DATAA& record, bool exact);

    // Hands each record back, in the order added, as onRecord(record, exact).
    template <typename OnRecord>
    void forEach(OnRecord onRecord) const;

    // What add() takes for one record: an estimate of a listing's bytes
    // from the records of another.
    static std::size_t weight(const WIN32_FIND_DATAA& record) {
        return sizeof(Fields) + strnlen(record.cFileName, sizeof record.cFileName - 1) + 1;
    }
    // What the records take on the heap.
    std::size_t bytes() const { return buffer_.capacity(); }
    // Gives back what the buffer's growth left unused.
    void trim() { buffer_.shrink_to_fit(); }

private:
    struct Fields {
        DWORD attributes;
        FILETIME created, accessed, written;
        DWORD sizeHigh, sizeLow;
        DWORD reserved0, reserved1;
        unsigned char exact;
    };
    // Each record: its Fields, then its name with the terminating NUL.
    std::vector<char> buffer_;
};

template <typename OnRecord>
void ListingRecords::forEach(OnRecord onRecord) const {
    WIN32_FIND_DATAA d{};
    Fields f;
    for (std::size_t at = 0; at < buffer_.size();) {
        std::memcpy(&f, &buffer_[at], sizeof f);
        at += sizeof f;
        std::size_t length = std::strlen(&buffer_[at]) + 1;
        std::memcpy(d.cFileName, &buffer_[at], length);
        at += length;
        d.dwFileAttributes = f.attributes;
        d.ftCreationTime = f.created;
        d.ftLastAccessTime = f.accessed;
        d.ftLastWriteTime = f.written;
        d.nFileSizeHigh = f.sizeHigh;
        d.nFileSizeLow = f.sizeLow;
        d.dwReserved0 = f.reserved0;
        d.dwReserved1 = f.reserved1;
        onRecord(static_cast<const WIN32_FIND_DATAA&>(d), f.exact != 0);
    }
}
