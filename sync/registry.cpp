#include "sync/registry.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

// An entry whose buffer was moved away points here until a name is set.
char emptyName[1] = "";

std::size_t cutLength(const char* text) {
    std::size_t n = std::strlen(text);
    return n < static_cast<std::size_t>(kNameBuffer) ? n : kNameBuffer - 1;
}

}  // namespace

// Entries lie back to back in a list's blocks: no padding inside one.
static_assert(sizeof(FileEntry) == 32, "a file entry takes 32 bytes on both targets");

FileEntry::FileEntry() : name(new char[kNameBuffer]), ownsName_(true), capacity_(kNameBuffer) { name[0] = '\0'; }

FileEntry::FileEntry(const FileEntry& other)
    : size(other.size),
      lastWrite(other.lastWrite),
      name(new char[kNameBuffer]),
      attributes(other.attributes),
      isNew(other.isNew),
      ownsName_(true),
      capacity_(kNameBuffer) {
    std::size_t n = cutLength(other.name);
    std::memcpy(name, other.name, n);
    name[n] = '\0';
}

FileEntry::FileEntry(FileEntry&& other)
    : size(other.size),
      lastWrite(other.lastWrite),
      name(other.name),
      attributes(other.attributes),
      isNew(other.isNew),
      ownsName_(other.ownsName_),
      capacity_(other.capacity_) {
    if (ownsName_) {
        other.name = emptyName;
        other.capacity_ = 0;
        other.ownsName_ = false;
    } else {
        // The name of a list's entry stays with its node.
        name = new char[kNameBuffer];
        capacity_ = kNameBuffer;
        ownsName_ = true;
        std::strcpy(name, other.name);
    }
}

FileEntry& FileEntry::operator=(const FileEntry& other) {
    if (this != &other) {
        attributes = other.attributes;
        size = other.size;
        lastWrite = other.lastWrite;
        isNew = other.isNew;
        setName(other.name);
    }
    return *this;
}

FileEntry& FileEntry::operator=(FileEntry&& other) {
    if (this == &other || !other.ownsName_) return *this = static_cast<const FileEntry&>(other);
    attributes = other.attributes;
    size = other.size;
    lastWrite = other.lastWrite;
    isNew = other.isNew;
    releaseName();
    name = other.name;
    capacity_ = other.capacity_;
    ownsName_ = true;
    other.name = emptyName;
    other.capacity_ = 0;
    other.ownsName_ = false;
    return *this;
}

FileEntry::~FileEntry() { releaseName(); }

void FileEntry::releaseName() {
    if (ownsName_) delete[] name;
    ownsName_ = false;
}

void FileEntry::setName(const char* text) {
    std::size_t n = cutLength(text);
    if (n < capacity_) {
        std::memmove(name, text, n);  // text may lie in name itself
        name[n] = '\0';
        return;
    }
    char* own = new char[kNameBuffer];
    std::memcpy(own, text, n);
    own[n] = '\0';
    releaseName();
    name = own;
    capacity_ = kNameBuffer;
    ownsName_ = true;
}

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
    blocks_.swap(other.blocks_);
    std::swap(size_, other.size_);
    std::swap(nextSeq_, other.nextSeq_);
    std::swap(index_, other.index_);
}

FileEntry& FileList::push_back(const FileEntry& entry) {
    FileEntry& e = emplace_back(entry.name);
    e.attributes = entry.attributes;
    e.size = entry.size;
    e.lastWrite = entry.lastWrite;
    e.isNew = entry.isNew;
    return e;
}

FileEntry& FileList::emplace_back(const char* name) {
    std::size_t n = cutLength(name);
    constexpr std::size_t align = EntryBlocks::kAlign;
    static_assert(alignof(Node) <= align, "blocks must suit a node");
    std::size_t bytes = (sizeof(Node) + n + 1 + align - 1) / align * align;
    Node* node = new (blocks_.allocate(bytes)) Node(n + 1, bytes, nextSeq_++);
    std::memcpy(node->entry.name, name, n);
    node->entry.name[n] = '\0';
    ++size_;
    if (index_) index_->add(node);
    return node->entry;
}

void FileList::buildIndex() {
    index_ = std::make_unique<NameIndex<Node>>();
    index_->reserve(size_);
    for (iterator it = begin(); it != end(); ++it) index_->add(it.n_);
}

FileEntry* FileList::find(const char* name) {
    if (!index_ && size_ > kIndexThreshold) buildIndex();
    if (index_) {
        Node* n = index_->find(name);
        return n ? &n->entry : nullptr;
    }
    for (FileEntry& f : *this)
        if (nameMatch(f.name, name)) return &f;
    return nullptr;
}

void FileList::erase(FileEntry* entry) {
    if (!entry) return;
    Node* n = reinterpret_cast<Node*>(entry);
    if (index_) index_->remove(n);
    n->live = false;
    n->entry.~FileEntry();  // its bytes stay as a gap until the blocks go
    if (--size_ == 0) clear();
}

FileList::iterator FileList::erase(iterator it) {
    iterator next = it;
    ++next;
    erase(&it.n_->entry);
    return next;  // the end when the list emptied and gave its blocks back
}

void FileList::clear() {
    index_.reset();
    for (iterator it = begin(); it != end(); ++it) it.n_->entry.~FileEntry();
    blocks_.release();
    size_ = 0;
    nextSeq_ = 0;
}

FileEntry& addFile(DirNode* dir, const WIN32_FIND_DATAA& data) {
    FileEntry& e = dir->record.files.emplace_back(data.cFileName);
    e.attributes = data.dwFileAttributes;
    e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    e.lastWrite = data.ftLastWriteTime;
    return e;
}

FileEntry* findFile(DirRecord& dir, const char* name) { return dir.files.find(name); }

void eraseFile(DirRecord& dir, FileEntry* entry) { dir.files.erase(entry); }
