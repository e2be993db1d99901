// Creating a directory chain and removing a tree.
#pragma once

#include <stdexcept>
#include <string>

// An error with a narrow (Windows-1251) message text, raised only while the
// destination directory is prepared and reported by the entry point.
class MessageError : public std::runtime_error {
public:
    explicit MessageError(const std::string& text) : std::runtime_error(text) {}
};

// Creates each missing level of the path from the top down; raises MessageError.
void ensureDirectory(const char* path);
// CreateDirectoryA for one level whose parent exists; raises MessageError.
void createOneDirectory(const char* level);
// Removes the file or the directory tree at path as far as it can; silent.
void removeTree(const char* path);
