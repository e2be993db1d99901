// In-memory pictures of directory trees (registries) and the work lists
// flattened from them.
#pragma once

#include <windows.h>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

constexpr uint32_t DirDelete = 1;   // destination-only directory, removed whole
constexpr uint32_t DirMissing = 2;  // directory without a counterpart (yet)

constexpr int kNameBuffer = 260;  // file names hold at most 259 characters

struct FileEntry {
    uint32_t attributes = 0;
    uint64_t size = 0;
    FILETIME lastWrite{};
    char name[kNameBuffer] = "";
    uint8_t isNew = 0;
};

// The plain files of one directory, in the order they were added.
class FileList {
public:
    using iterator = std::list<FileEntry>::iterator;
    using const_iterator = std::list<FileEntry>::const_iterator;

    iterator begin() { return files_.begin(); }
    iterator end() { return files_.end(); }
    const_iterator begin() const { return files_.begin(); }
    const_iterator end() const { return files_.end(); }
    bool empty() const { return files_.empty(); }
    std::size_t size() const { return files_.size(); }

    FileEntry& push_back(const FileEntry& entry);
    // First entry whose name matches by the name rule, or nullptr.
    FileEntry* find(const char* name);
    void erase(FileEntry* entry);
    void clear();

private:
    std::list<FileEntry> files_;
};

struct DirRecord {
    std::string name;  // own name in a registry ("." for the root), relative path in a work list
    FileList files;
    uint32_t flags = 0;
};

using CopyList = std::vector<DirRecord>;
using DeleteList = std::vector<DirRecord>;

struct DirNode;
struct SyncRegistry;
