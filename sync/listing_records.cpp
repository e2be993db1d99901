#include "sync/listing_records.h"

void ListingRecords::add(const WIN32_FIND_DATAA& record, bool exact) {
    Fields f{record.dwFileAttributes, record.ftCreationTime, record.ftLastAccessTime,
             record.ftLastWriteTime,  record.nFileSizeHigh,  record.nFileSizeLow,
             record.dwReserved0,      record.dwReserved1,    static_cast<unsigned char>(exact)};
    // A name fills cFileName at most, its NUL included.
    std::size_t length = strnlen(record.cFileName, sizeof record.cFileName - 1);
    std::size_t at = buffer_.size();
    buffer_.resize(at + sizeof f + length + 1);
    std::memcpy(&buffer_[at], &f, sizeof f);
    std::memcpy(&buffer_[at + sizeof f], record.cFileName, length);
    buffer_[at + sizeof f + length] = '\0';
}
