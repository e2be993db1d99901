// Comparison of the two registries of a pass, after the rule stages and
// before flattening (sync/registry.h):
//   compareTrees(source.root, dest.root);
//   flatten(source, pass.copyList, pass.errorCount);
//   flatten(dest, pass.deleteList, pass.errorCount);
// For the root check, after root-only scans and the cut and ignore stages:
// there is a difference exactly when the source root keeps a file after
// compareTrees.
#pragma once

#include "sync/registry.h"

// Afterwards the source registry holds exactly what is to be copied (isNew
// set where the destination lacks the file) and the destination registry
// exactly the destination-only files. A source directory missing in the
// destination keeps DirMissing with its whole subtree; its files are not
// compared. Subdirectories are paired with the node mirrored for them; a
// directory whose partner was removed by a rule (a pair entry naming a
// directory on one side only) takes no further part.
void compareTrees(DirNode* source, DirNode* dest);
