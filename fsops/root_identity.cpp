#include "fsops/root_identity.h"

#include <windows.h>

#include "fsops/final_path.h"
#include "fsops/path_forms.h"
#include "fsops/path_normal.h"

namespace {

// The last component of a path without a trailing backslash; empty for a
// drive or share root.
std::string lastName(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash + 1 >= path.size() || path.find(':', slash) != std::string::npos)
        return std::string();
    return path.substr(slash + 1);
}

// The identities of path and of each directory above it, by its text.
void addChain(std::string path, std::vector<DirIdentity>& chain) {
    for (;;) {
        DirIdentity id;
        if (directoryIdentity(path, id)) chain.push_back(id);
        std::size_t slash = path.find_last_of('\\');
        if (slash == std::string::npos || slash + 1 >= path.size() || path.size() <= 3) return;
        path.erase(slash == 2 ? 3 : slash);  // keep "C:\" whole
    }
}

}  // namespace

void RootIdentity::readIdentity() const {
    state_ = 1;
    if (!absoluteNormal(root_, normal_) || !directoryIdentity(normal_, id_)) return;
    known_ = true;
    std::wstring final;
    bool resolved = false;
    if (canonicalPath(normal_, final, &resolved) && resolved)
        final_ = narrowAnsi(final.compare(0, 4, L"UNC\\") == 0 ? L"\\\\" + final.substr(4) : final);
    for (const std::string& name : {lastName(normal_), lastName(final_)})
        if (!name.empty()) names_.push_back(foldCase(name));
}

void RootIdentity::readChain() const {
    if (state_ < 1) readIdentity();
    state_ = 2;
    if (!known_) return;
    if (!final_.empty()) addChain(final_, chain_);
    addChain(normal_, chain_);
}

bool RootIdentity::is(const std::string& full, const char* name) const {
    if (state_ < 1) readIdentity();
    if (!known_) return false;
    if (!names_.empty()) {
        std::string folded = foldCase(name);
        bool named = false;
        for (const std::string& n : names_) named = named || n == folded;
        if (!named) return false;
    }
    return isSameDirectory(full, id_);
}

bool RootIdentity::liesIn(const DirIdentity& item) const {
    if (state_ < 2) readChain();
    for (const DirIdentity& id : chain_)
        if (id == item) return true;
    return false;
}
