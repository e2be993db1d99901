// Lexical path forms for comparing the roots and checking deletions: both
// separators, "." and ".." resolved, doubled separators dropped, letter case
// folded as Windows folds file names.
#pragma once

#include <string>

// The path with '/' taken as '\', empty and "." components dropped and each
// ".." taking away the component before it; no trailing backslash except
// after a drive root ("C:\"). The root part ("C:\", "\\server\share", "\")
// is kept; a relative path stays relative. False when ".." would climb above
// the root (or the start of a relative path), when a network path lacks its
// share, or when a component ends with a dot or a space (narrow calls would
// quietly name another item).
bool normalizePath(const std::string& path, std::string& normal);

// normalizePath, then a relative result taken from the current directory.
bool absoluteNormal(const std::string& path, std::string& normal);

// The text upper-cased the way Windows compares file names (the ANSI code
// page's letters, Cyrillic included).
std::string foldCase(const std::string& text);

// Whether path lies strictly below root; both normalized and folded.
bool liesBelow(const std::string& path, const std::string& root);
