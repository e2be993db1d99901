// The rule lists of the INI file applied to the registries of a pass.
//
// Three ways of matching are in use:
//   rule-list match  ("Игнорировать" while scanning, "Обновлять"): both texts
//                    upper-cased with toUpper1251, equal as whole strings;
//   removal by path  ("Игнорировать", "Вырезать", "Проверить пары" on the
//                    registries, "Пропустить существующие"): component by
//                    component with the name rule;
//   strict test      ("СтрогоСинхронизировать"): byte for byte.
//
// Order within a pass, which is also the priority between the lists:
//   scan-time ignore (sync/scan.h)
//   updatePruning(dest, Side::Destination), updatePruning(source, Side::Source)
//                                                  -- only when hasUpdateList
//   ignoreStage, cutStage
//   "удаление пропускаемых файлов ..." line, skipExisting for each entry
//   "удаление проверяемых пар ..." line, pairRemoval for each pair
//   compareTrees (sync/compare.h)
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "core/settings.h"
#include "sync/registry.h"

class Pass;

// Rule-list match of a relative path (no trailing backslash) against a list.
bool ruleListMatch(const char* relativePath, const std::vector<std::string>& list);

// The same match against a list upper-cased once: O(1) per path.
class RuleSet {
public:
    explicit RuleSet(const std::vector<std::string>& list);
    bool matches(const char* relativePath) const;

private:
    std::unordered_set<std::string> upper_;
};

// Removes at most one subdirectory (with its subtree) or one file named by a
// relative path; true when something was removed.
bool removeByPath(DirNode* root, const std::string& entry);

// The same for a normalized path below the root, with names matched as the
// file system matches them (letter case folded as Windows folds it).
bool removeByDiskPath(DirNode* root, const std::string& relative);

enum class Side { Source, Destination };

// Keeps only what the update list names (and everything below a named
// directory). On the destination side every directory left with nothing is
// appended to emptied, so that the ignore stage drops it on both sides.
void updatePruning(DirNode* root, Side side, const std::vector<std::string>& updateList,
                   std::vector<std::string>& emptied);

// Writes its statistics line and removes every ignore entry, then every
// directory the update list emptied, from both.
void ignoreStage(Pass& pass, SyncRegistry& source, SyncRegistry& dest);

// Writes its statistics line; removes every cut entry from both registries
// and from the destination on disk (the entry itself when drive-absolute,
// otherwise destDir + entry), "." and ".." resolved. Only what lies inside
// the destination goes: the deletion gate refuses anything else with one
// error line, counted.
void cutStage(Pass& pass, SyncRegistry& source, SyncRegistry& dest);

// Erases from both registries each file named by the entry (or below the
// directory it names) that exists on both sides.
void skipExisting(DirNode* destRoot, DirNode* sourceRoot, const std::string& entry);

// Removes pair.source from the source registry, pair.destination from the
// destination registry.
void pairRemoval(SyncRegistry& source, SyncRegistry& dest, const SyncPair& pair);

// Whether a relative path (destination scan) or a full destination path of
// a work-list entry (".\" reduces it to the relative part) is strictly
// synchronised. A path over 1023 characters never is.
bool strictTest(const SettingsRecord& settings, const char* path);

// Whether a file of the delete list, at its full destination path (root +
// work-list path + name), is really deleted: with deletion on, or under a
// strict entry.
bool deletesFile(const SettingsRecord& settings, const std::string& fullPath);
