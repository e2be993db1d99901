// Where an item really is: the path the file system resolves it to, with
// links, junctions, substituted and mapped drive letters and 8.3 short
// names taken away. Two spellings of one directory give one final path, so
// "the same", "inside" and "contains" are decided on these, not on what the
// settings happen to say.
#pragma once

#include <windows.h>
#include <string>

// The final path of an open handle, upper-cased as Windows folds names,
// without the "\\?\" prefix ("C:\DIR", "UNC\SERVER\SHARE\DIR"). False where
// the system cannot tell (before Vista, or the call failed).
bool finalPathOf(HANDLE handle, std::wstring& path);

// The final path of a narrow path whose item exists (links followed). For a
// path that does not exist yet, the final path of its nearest existing
// parent with the rest of the path appended. Without an answer from the
// system: the lexically normalised absolute path, folded (*resolved false).
// False only when the path is malformed.
bool canonicalPath(const std::string& path, std::wstring& canonical, bool* resolved = nullptr);

// Whether path lies strictly below root; both canonical.
bool canonicalBelow(const std::wstring& path, const std::wstring& root);
