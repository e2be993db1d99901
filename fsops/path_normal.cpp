#include "fsops/path_normal.h"

#include <windows.h>
#include <vector>

namespace {

bool endsBadly(const std::string& component) {
    char last = component.back();
    return last == '.' || last == ' ';
}

// Length of the root part of a path whose separators are all '\'; false for
// a network path without its share.
bool rootPart(const std::string& p, std::string& root, std::size_t& rest) {
    root.clear();
    rest = 0;
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        std::size_t server = p.find('\\', 2);
        if (server == std::string::npos || server == 2) return false;
        std::size_t share = p.find('\\', server + 1);
        if (share == std::string::npos) share = p.size();
        if (share == server + 1) return false;
        root = p.substr(0, share);
        rest = share;
    } else if (p.size() >= 2 && p[1] == ':') {
        rest = (p.size() > 2 && p[2] == '\\') ? 3 : 2;
        root = p.substr(0, rest);
    } else if (!p.empty() && p[0] == '\\') {
        root = "\\";
        rest = 1;
    }
    return true;
}

}  // namespace

bool normalizePath(const std::string& path, std::string& normal) {
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    // The long-path prefix names the same place as the path without it.
    if (p.size() >= 8 && p.compare(0, 4, "\\\\?\\") == 0 && _strnicmp(p.c_str() + 4, "UNC\\", 4) == 0)
        p.erase(1, 6);
    else if (p.compare(0, 4, "\\\\?\\") == 0)
        p.erase(0, 4);
    std::string root;
    std::size_t at = 0;
    if (!rootPart(p, root, at)) return false;

    std::vector<std::string> parts;
    while (at <= p.size()) {
        std::size_t end = p.find('\\', at);
        if (end == std::string::npos) end = p.size();
        std::string component = p.substr(at, end - at);
        at = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
            continue;
        }
        if (endsBadly(component)) return false;
        parts.push_back(std::move(component));
    }
    normal = root;
    for (const std::string& part : parts) {
        if (!normal.empty() && normal.back() != '\\' && normal.back() != ':') normal += '\\';
        normal += part;
    }
    return true;
}

bool absoluteNormal(const std::string& path, std::string& normal) {
    if (!normalizePath(path, normal)) return false;
    bool absolute = (normal.size() >= 3 && normal[1] == ':' && normal[2] == '\\') ||
                    (normal.size() >= 2 && normal[0] == '\\' && normal[1] == '\\');
    if (absolute) return true;
    // No "." or ".." and no trailing dots are left for it to resolve.
    char full[1024];
    DWORD n = GetFullPathNameA(normal.empty() ? "." : normal.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full && normalizePath(full, normal);
}

std::string foldCase(const std::string& text) {
    std::string folded = text;
    if (!folded.empty()) CharUpperBuffA(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

bool liesBelow(const std::string& path, const std::string& root) {
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return false;
    return root.back() == '\\' || path[root.size()] == '\\';
}
