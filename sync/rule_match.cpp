// Rule-list match and the strict test: the two ways of matching a path as
// text.
#include <cstring>

#include "core/text1251.h"
#include "sync/rules.h"

namespace {

std::string upper(const char* text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(toUpper1251(static_cast<unsigned char>(c)));
    return s;
}

bool inList(const std::string& text, const std::vector<std::string>& list) {
    for (const std::string& e : list)
        if (e == text) return true;
    return false;
}

}  // namespace

RuleSet::RuleSet(const std::vector<std::string>& list) {
    for (const std::string& e : list)
        if (e.size() <= kMaxPathLength) upper_.insert(upper(e.c_str()));
}

bool RuleSet::matches(const char* relativePath) const {
    if (upper_.empty() || std::strlen(relativePath) > kMaxPathLength) return false;
    return upper_.count(upper(relativePath)) != 0;
}

bool ruleListMatch(const char* relativePath, const std::vector<std::string>& list) {
    return RuleSet(list).matches(relativePath);
}

bool deletesFile(const SettingsRecord& settings, const std::string& fullPath) {
    return settings.deleteExtraFiles || strictTest(settings, fullPath.c_str());
}

bool strictTest(const SettingsRecord& settings, const char* path) {
    if (std::strlen(path) > kMaxPathLength) return false;
    std::string q(path);
    std::size_t dotSlash = q.rfind(".\\");
    if (dotSlash != std::string::npos) q.erase(0, dotSlash + 2);
    if (inList(q, settings.strictList)) return true;
    std::size_t slash = q.find('\\');
    return slash != std::string::npos && inList(q.substr(0, slash), settings.strictList);
}
