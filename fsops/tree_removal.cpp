#include "fsops/tree_removal.h"

#include "fsops/path_forms.h"
#include "win/unique_handle.h"

namespace {

bool isLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool isDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool isDots(const wchar_t* name) { return name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])); }

// For the report lines: the name in the ANSI code page as well as it goes.
std::string reported(const wchar_t* name) {
    std::string narrow = narrowAnsi(name);
    return narrow.empty() ? "?" : narrow;
}

}  // namespace

bool DeletionGate::Removal::run(const std::string& top) {
    std::wstring wide = toLongPath(top.c_str(), L"");
    if (wide.empty()) {
        gate_.failed(top, ERROR_INVALID_NAME, false);
        return false;
    }
    // Its own attributes: without a trailing backslash a link is described
    // as the link.
    stack_.push_back(Entry{top, wide, GetFileAttributesW(wide.c_str()), kTop});
    bool whole = true;
    while (!stack_.empty()) {
        std::size_t at = stack_.size() - 1;
        Step done = step(at);
        if (done == Step::Listed) continue;
        std::size_t parent = stack_[at].parent;
        if (done == Step::Stayed) {
            if (parent == kTop)
                whole = false;
            else
                stack_[parent].keeps = true;
        }
        stack_.pop_back();
    }
    return whole;
}

DeletionGate::Removal::Step DeletionGate::Removal::step(std::size_t at) {
    Entry& entry = stack_[at];
    if (entry.keeps) return Step::Stayed;  // what stayed below was reported; the directory cannot go
    win::UniqueFileHandle item(gate_.fs_.openForDeletion(entry.wide.c_str()));
    if (!item) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Step::Gone;  // gone already
        gate_.failed(entry.path, code, isDirectory(entry.seen));
        return Step::Stayed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD actual = GetFileInformationByHandle(item.get(), &info) ? info.dwFileAttributes : entry.seen;
    // Opened as it stands, a link is a link; a system that opened what it
    // points to would delete that instead.
    std::string link;
    bool followed = entry.seen != INVALID_FILE_ATTRIBUTES && isLink(entry.seen) && !isLink(actual);
    Verdict verdict = followed ? Verdict::LinkFollowed : gate_.judgeOpened(item.get(), entry.path, link);
    if (verdict != Verdict::Allowed) {
        gate_.refuse(entry.path, verdict, link);
        return Step::Stayed;
    }
    if (isDirectory(actual) && !isLink(actual) && !entry.listed) {
        item.reset();
        entry.listed = true;
        list(at);
        return Step::Listed;
    }
    if (gate_.fs_.deleteOpened(item.get(), actual)) return Step::Gone;
    gate_.failed(entry.path, GetLastError(), isDirectory(actual));
    return Step::Stayed;
}

void DeletionGate::Removal::list(std::size_t at) {
    WIN32_FIND_DATAW found;
    win::UniqueFind search(gate_.fs_.findFirstFileW((stack_[at].wide + L"\\*").c_str(), &found));
    if (!search) return;  // nothing listed: the directory's own removal tells
    do {
        if (isDots(found.cFileName)) continue;
        const Entry& dir = stack_[at];
        stack_.push_back(Entry{dir.path + "\\" + reported(found.cFileName), dir.wide + L"\\" + found.cFileName,
                               found.dwFileAttributes, at});
    } while (FindNextFileW(search.get(), &found));
}
