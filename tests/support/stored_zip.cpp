#include "support/stored_zip.h"

#include <zlib.h>

namespace test {

namespace {

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr uint32_t kDosDate = 0x00210000;  // 1980-01-01 00:00

// The fields shared by a local header and a directory header, from the
// version needed to the extra-field length.
void commonFields(std::string& out, const ZipEntry& e, uint32_t crc, uint16_t nameLength) {
    put16(out, 20);  // version needed
    put16(out, 0);   // flags
    put16(out, 0);   // method: stored
    put32(out, kDosDate);
    put32(out, crc);
    put32(out, static_cast<uint32_t>(e.data.size()));  // packed size
    put32(out, static_cast<uint32_t>(e.declaredSize >= 0 ? e.declaredSize : int64_t(e.data.size())));
    put16(out, nameLength);
    put16(out, 0);  // extra field
}

}  // namespace

std::string storedZip(const std::vector<ZipEntry>& entries, ZipBreak brk) {
    std::string zip, directory;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry& e = entries[i];
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
        if (e.wrongCrc) crc = ~crc;
        uint32_t offset = static_cast<uint32_t>(zip.size());
        uint16_t nameLength = static_cast<uint16_t>(e.name.size());

        put32(zip, 0x04034b50);
        commonFields(zip, e, crc, nameLength);
        zip += e.name;
        zip += e.data;

        bool last = i + 1 == entries.size();
        put32(directory, 0x02014b50);
        put16(directory, 20);  // version made by
        commonFields(directory, e, crc, last && brk == ZipBreak::NameRunsPastEnd ? 0xFFFF : nameLength);
        put16(directory, 0);  // comment length
        put16(directory, 0);  // disk number
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += e.name;
    }
    uint32_t directoryOffset = static_cast<uint32_t>(zip.size());
    zip += directory;
    uint16_t count = static_cast<uint16_t>(entries.size() + (brk == ZipBreak::MissingLastHeader ? 1 : 0));
    put32(zip, 0x06054b50);
    put16(zip, 0);  // this disk
    put16(zip, 0);  // disk of the directory
    put16(zip, count);
    put16(zip, count);
    put32(zip, static_cast<uint32_t>(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);  // comment length
    return zip;
}

}  // namespace test
