#include "sync/registry.h"

#include <cstring>

FileEntry& FileList::push_back(const FileEntry& entry) {
    files_.push_back(entry);
    return files_.back();
}

FileEntry* FileList::find(const char* name) {
    for (FileEntry& f : files_)
        if (_stricmp(f.name, name) == 0) return &f;
    return nullptr;
}

void FileList::erase(FileEntry* entry) {
    for (auto it = files_.begin(); it != files_.end(); ++it)
        if (&*it == entry) { files_.erase(it); return; }
}

void FileList::clear() { files_.clear(); }
