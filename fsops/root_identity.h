// A root of the pass known by the file system's identity of its directory
// (volume and file index), so that it is recognised under any other name:
// another drive letter mapped to it, a link, its 8.3 short name. Where its
// identity cannot be read it is recognised by nothing here, and the text of
// the paths decides alone.
#pragma once

#include <string>
#include <vector>

#include "fsops/dir_identity.h"

// Nothing is read until it is first asked: on a share each question of the
// file system is a round trip. Not for use from several threads at once.
class RootIdentity {
public:
    explicit RootIdentity(const char* root) : root_(root) {}

    // Whether the directory at full, listed under name, is this root. Only
    // a directory of the root's own name (as written, or where the file
    // system puts it) is opened to compare, unless no name is known.
    bool is(const std::string& full, const char* name) const;
    // Whether an item is this root or one of the directories it lies in.
    bool liesIn(const DirIdentity& item) const;

private:
    void readIdentity() const;
    void readChain() const;

    std::string root_;
    mutable int state_ = 0;  // 0 nothing read, 1 identity read, 2 and the chain too
    mutable bool known_ = false;
    mutable DirIdentity id_;
    mutable std::string normal_, final_;
    mutable std::vector<std::string> names_;  // folded
    mutable std::vector<DirIdentity> chain_;  // the root, then the directories above it
};
