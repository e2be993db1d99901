// Zip archives made by the tests themselves: stored (uncompressed) entries,
// optionally with a wrong CRC-32, a size that lies, or a central directory
// that breaks off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

struct ZipEntry {
    std::string name;
    std::string data;
    bool wrongCrc = false;      // both headers carry the data's CRC-32 with every bit inverted
    int64_t declaredSize = -1;  // unpacked size written in both headers; -1: the real one
};

enum class ZipBreak {
    None,
    MissingLastHeader,  // the end record counts one entry more than the directory holds
    NameRunsPastEnd,    // the last directory header claims a name longer than the file
};

std::string storedZip(const std::vector<ZipEntry>& entries, ZipBreak brk = ZipBreak::None);

}  // namespace test
