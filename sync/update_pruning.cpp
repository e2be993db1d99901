// Update pruning: only what the update list names takes part in the pass.
// A post-order walk with an explicit stack: a directory's answer ("something
// was kept in it") is known only after all its subdirectories are done.
#include <string>
#include <vector>

#include "sync/rules.h"

namespace {

struct Frame {
    DirNode* node;
    std::string prefix;  // relative prefix, "" at the root, else ending with '\'
    DirNode* next;       // next subdirectory to look at
    bool kept = false;
};

void pruneFiles(DirNode* node, const std::string& prefix, const RuleSet& update, bool& kept) {
    FileList& files = node->record.files;
    for (auto it = files.begin(); it != files.end();) {
        if (update.matches((prefix + it->name).c_str())) {
            kept = true;
            ++it;
        } else {
            it = files.erase(it);
        }
    }
}

}  // namespace

void updatePruning(DirNode* root, Side side, const std::vector<std::string>& updateList,
                   std::vector<std::string>& emptied) {
    RuleSet update(updateList);
    std::vector<Frame> stack;
    stack.push_back(Frame{root, "", root->firstChild});
    pruneFiles(root, "", update, stack.back().kept);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (!f.next) {
            Frame done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty()) break;  // the root's answer is not used
            if (done.kept) {
                stack.back().kept = true;
            } else if (side == Side::Destination) {
                emptied.push_back(done.prefix.substr(0, done.prefix.size() - 1));
            }
            continue;
        }
        DirNode* child = f.next;
        f.next = child->nextSibling;
        std::string path = f.prefix + child->record.name;
        if (update.matches(path.c_str())) {
            f.kept = true;  // listed itself: kept whole, unpruned
            continue;
        }
        Frame sub{child, path + "\\", child->firstChild};
        pruneFiles(child, sub.prefix, update, sub.kept);
        stack.push_back(std::move(sub));  // f is not used past this point
    }
}
