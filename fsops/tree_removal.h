// How the deletion gate takes a tree apart: depth first without recursion,
// each entry opened, judged and deleted through its own handle. A directory
// is judged again when it comes up for listing and again when it comes up
// for removal, after everything below it: nothing judged earlier is trusted
// across a change on disk. Wide "\\?\" paths throughout, so names that
// narrow calls cannot address (a trailing dot, a letter outside the code
// page) go as well.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fsops/deletion_gate.h"

class DeletionGate::Removal {
public:
    explicit Removal(DeletionGate& gate) : gate_(gate) {}
    // top: normalized and absolute. False when anything stayed.
    bool run(const std::string& top);

private:
    struct Entry {
        std::string path;    // for the reports
        std::wstring wide;   // for the calls
        DWORD seen;          // its attributes as its parent's listing gave them
        std::size_t parent;  // index on the stack; kTop for the top
        bool listed = false;
        bool keeps = false;  // something below it stayed
    };
    enum class Step { Listed, Gone, Stayed };
    static constexpr std::size_t kTop = static_cast<std::size_t>(-1);

    Step step(std::size_t at);
    void list(std::size_t at);

    DeletionGate& gate_;
    std::vector<Entry> stack_;
};
