#include "sync/registry.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "win/fixed_text.h"

FileList::FileList(const FileList& other) {
    for (const FileEntry& f : other) push_back(f);
}

FileList::FileList(FileList&& other) noexcept { swap(other); }

FileList& FileList::operator=(const FileList& other) {
    if (this != &other) {
        FileList copy(other);
        swap(copy);
    }
    return *this;
}

FileList& FileList::operator=(FileList&& other) noexcept {
    if (this != &other) {
        clear();
        swap(other);
    }
    return *this;
}

void FileList::swap(FileList& other) noexcept {
    std::swap(head_, other.head_);
    std::swap(tail_, other.tail_);
    std::swap(size_, other.size_);
    std::swap(nextSeq_, other.nextSeq_);
    std::swap(index_, other.index_);
}

FileEntry& FileList::push_back(const FileEntry& entry) {
    Node* n = new Node{entry, tail_, nullptr, nextSeq_++};
    (tail_ ? tail_->next : head_) = n;
    tail_ = n;
    ++size_;
    if (index_) index_->add(n);
    return n->entry;
}

void FileList::buildIndex() {
    index_ = std::make_unique<NameIndex<Node>>();
    index_->reserve(size_);
    for (Node* n = head_; n; n = n->next) index_->add(n);
}

FileEntry* FileList::find(const char* name) {
    if (!index_ && size_ > kIndexThreshold) buildIndex();
    if (index_) {
        Node* n = index_->find(name);
        return n ? &n->entry : nullptr;
    }
    for (Node* n = head_; n; n = n->next)
        if (nameMatch(n->entry.name, name)) return &n->entry;
    return nullptr;
}

void FileList::erase(FileEntry* entry) {
    if (!entry) return;
    Node* n = reinterpret_cast<Node*>(entry);
    if (index_) index_->remove(n);
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    --size_;
    delete n;
}

FileList::iterator FileList::erase(iterator it) {
    Node* next = it.n_->next;
    erase(&it.n_->entry);
    return iterator(next, this);
}

void FileList::clear() {
    index_.reset();
    for (Node* n = head_; n;) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    head_ = tail_ = nullptr;
    size_ = 0;
}

FileEntry& addFile(DirNode* dir, const WIN32_FIND_DATAA& data) {
    FileEntry e;
    e.attributes = data.dwFileAttributes;
    e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    e.lastWrite = data.ftLastWriteTime;
    win::copyTextCut(e.name, data.cFileName);  // cFileName always fits
    return dir->record.files.push_back(e);
}

FileEntry* findFile(DirRecord& dir, const char* name) { return dir.files.find(name); }

void eraseFile(DirRecord& dir, FileEntry* entry) { dir.files.erase(entry); }

bool timeMatch(const FILETIME& a, const FILETIME& b) {
    if (a.dwHighDateTime != b.dwHighDateTime) return false;
    int64_t delta = static_cast<int32_t>(a.dwLowDateTime - b.dwLowDateTime);
    return std::llabs(delta) <= 20000000;
}
