#include "fsops/deletion_gate.h"

#include "fsops/final_path.h"
#include "fsops/path_forms.h"
#include "fsops/path_normal.h"
#include "fsops/tree_removal.h"
#include "win/unique_handle.h"

namespace {

bool isLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string normalRoot(const char* dir) {
    std::string normal;
    return absoluteNormal(dir, normal) ? foldCase(normal) : std::string();
}

std::wstring finalRoot(const char* dir) {
    std::wstring final;
    bool resolved = false;
    return canonicalPath(dir, final, &resolved) && resolved ? final : std::wstring();
}

}  // namespace

DeletionGate::DeletionGate(const char* destDir, const char* sourceDir, int32_t& errorCount, std::ostream& report,
                           FileSystemCalls& fs)
    : dest_(normalRoot(destDir)),
      source_(normalRoot(sourceDir)),
      destDir_(destDir),
      sourceDir_(sourceDir),
      sourceRoot_(sourceDir),
      errorCount_(errorCount),
      report_(report),
      fs_(fs) {
    destInsideSource_ = liesBelow(dest_, source_);
}

void DeletionGate::readFinalRoots() const {
    if (finalRootsRead_) return;
    finalRootsRead_ = true;
    destFinal_ = finalRoot(destDir_.c_str());
    sourceFinal_ = finalRoot(sourceDir_.c_str());
    destInsideSourceFinal_ = canonicalBelow(destFinal_, sourceFinal_);
}

DeletionGate::Verdict DeletionGate::judgeText(const std::string& normal, std::string& link) const {
    std::string folded = foldCase(normal);
    if (dest_.empty() || !liesBelow(folded, dest_)) return Verdict::Outside;
    if (!source_.empty()) {
        if (folded == source_ || liesBelow(source_, folded)) return Verdict::TouchesSource;
        if (liesBelow(folded, source_) && !destInsideSource_) return Verdict::TouchesSource;
    }
    // Without final paths, each directory between the root and the item must
    // be a real one; with them, the opened item answers for its whole path.
    readFinalRoots();
    if (destFinal_.empty()) {
        link = linkAbove(normal);
        if (!link.empty()) return Verdict::ThroughLink;
    }
    return Verdict::Allowed;
}

// The first level between the destination root and the item that is a link.
// No trailing backslash: with one, Wine describes a link's target.
std::string DeletionGate::linkAbove(const std::string& normal) const {
    std::size_t parentEnd = normal.rfind('\\');
    for (std::size_t at = dest_.size() + (dest_.back() == '\\' ? 0 : 1); at < parentEnd && at < normal.size();) {
        std::size_t end = normal.find('\\', at);
        std::string level = normal.substr(0, end);
        if (isLink(GetFileAttributesA(level.c_str()))) return level;
        at = end + 1;
    }
    return std::string();
}

DeletionGate::Verdict DeletionGate::judgeOpened(HANDLE item, const std::string& normal, std::string& link) const {
    DirIdentity id;
    if (handleIdentity(item, id) && sourceRoot_.liesIn(id)) return Verdict::TouchesSource;
    std::wstring final;
    readFinalRoots();
    if (destFinal_.empty()) return Verdict::Allowed;  // judged on the text and each level's attributes
    if (!finalPathOf(item, final)) {
        // This item's place cannot be read (some network redirectors): each
        // level above it must be a real directory then.
        link = linkAbove(normal);
        return link.empty() ? Verdict::Allowed : Verdict::ThroughLink;
    }
    if (!canonicalBelow(final, destFinal_)) {
        link = linkAbove(normal);
        if (link.empty()) link = normal;  // the item itself leads out
        return Verdict::ThroughLink;
    }
    if (!sourceFinal_.empty()) {
        if (final == sourceFinal_ || canonicalBelow(sourceFinal_, final)) return Verdict::TouchesSource;
        if (canonicalBelow(final, sourceFinal_) && !destInsideSourceFinal_) return Verdict::TouchesSource;
    }
    return Verdict::Allowed;
}

void DeletionGate::refuse(const std::string& path, Verdict verdict, const std::string& link) {
    ++errorCount_;
    if (verdict == Verdict::LinkFollowed) {
        // Wine deletes what a link points to: the link stays instead.
        report_ << "Ошибка: ссылка \"" << path << "\" не может быть удалена отдельно от того, на что она указывает"
                << ", не удалена" << std::endl;
        return;
    }
    report_ << "Ошибка: путь \"" << path << "\" ";
    switch (verdict) {
    case Verdict::ThroughLink:
        report_ << "ведет через ссылку \"" << link << "\"";
        break;
    case Verdict::TouchesSource:
        report_ << "затрагивает каталог источник";
        break;
    default:
        report_ << "не указывает на файл или каталог внутри каталога приемника";
        break;
    }
    report_ << ", не удален" << std::endl;
}

void DeletionGate::failed(const std::string& path, DWORD code, bool directory) {
    ++errorCount_;
    report_ << "Ошибка " << code << (directory ? " удаления каталога \"" : " удаления файла \"") << path << "\""
            << std::endl;
}

bool DeletionGate::allows(const char* path) {
    std::string normal, link;
    Verdict verdict = absoluteNormal(path, normal) ? judgeText(normal, link) : Verdict::Malformed;
    if (verdict == Verdict::Allowed) return true;
    refuse(path, verdict, link);
    return false;
}

bool DeletionGate::mayChange(const char* path) {
    std::string normal, link;
    if (!absoluteNormal(path, normal) || judgeText(normal, link) != Verdict::Allowed) return false;
    if (destFinal_.empty()) return true;
    std::wstring directory;
    bool resolved = false;
    if (!canonicalPath(normal.substr(0, normal.rfind('\\')), directory, &resolved)) return false;
    return !resolved || directory == destFinal_ || canonicalBelow(directory, destFinal_);
}

DeletionGate::Outcome DeletionGate::deleteFile(const char* path, bool announce, DWORD* error) {
    std::string normal, link;
    if (!allows(path) || !absoluteNormal(path, normal)) return Outcome::Refused;
    win::UniqueFileHandle item(fs_.openForDeletion(toLongPath(normal.c_str(), L"").c_str()));
    if (!item) {
        *error = GetLastError();
        if (announce) std::cout << "Удаление файла \"" << path << "\"" << std::endl;
        return Outcome::Failed;
    }
    Verdict verdict = judgeOpened(item.get(), normal, link);
    if (verdict != Verdict::Allowed) {
        refuse(path, verdict, link);
        return Outcome::Refused;
    }
    if (announce) std::cout << "Удаление файла \"" << path << "\"" << std::endl;
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(item.get(), &info);
    if (fs_.deleteOpened(item.get(), info.dwFileAttributes)) return Outcome::Deleted;
    *error = GetLastError();
    return Outcome::Failed;
}

bool DeletionGate::removeTree(const char* path, bool announce) {
    std::string normal;
    if (!allows(path) || !absoluteNormal(path, normal)) return false;
    if (announce) std::cout << "Удаление каталога \"" << path << "\"" << std::endl;
    return Removal(*this).run(normal);
}
