// The file-system calls of the pass, behind one interface: the worker puts
// its gate in front of them (a stop or a pause meets every call), and tests
// put fakes where Wine cannot produce Windows' answers (a listing refused, a
// copy refused on a read-only file, a full volume, a network error on the
// source). The interface has no bodies of its own: a call added here must be
// written for the real system, the gate and every fake alike.
#pragma once

#include <windows.h>

class FileSystemCalls {
public:
    virtual ~FileSystemCalls() = default;
    // Listings are wide so that names the ANSI code page cannot hold are seen
    // as they are; the pattern is narrow text of the ANSI code page.
    virtual HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) = 0;
    virtual DWORD getFileAttributes(const char* path) = 0;
    virtual BOOL copyFileA(const char* from, const char* to) = 0;
    virtual BOOL copyFileW(const wchar_t* from, const wchar_t* to) = 0;
    virtual BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) = 0;
    // A wide listing of a wide pattern ("\\?\" paths keep every name as it is).
    virtual HANDLE findFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* data) = 0;
    // Moves a file over another name, replacing what stands there (a link is
    // replaced as a link, never written through).
    virtual BOOL moveReplacing(const wchar_t* from, const wchar_t* to) = 0;
    // Opens an item for deletion as it stands (a link as the link, where the
    // system can), with its attributes writable; INVALID_HANDLE_VALUE on failure.
    virtual HANDLE openForDeletion(const wchar_t* path) = 0;
    // Deletes the item of a handle from openForDeletion, taking away a
    // read-only bit of attributes first; a directory must be empty.
    virtual BOOL deleteOpened(HANDLE item, DWORD attributes) = 0;

    // The calls as Windows answers them.
    static FileSystemCalls& real();
};

// Windows' own answers.
class WindowsFileSystem : public FileSystemCalls {
public:
    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override;
    DWORD getFileAttributes(const char* path) override;
    BOOL copyFileA(const char* from, const char* to) override;
    BOOL copyFileW(const wchar_t* from, const wchar_t* to) override;
    BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) override;
    HANDLE findFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* data) override;
    BOOL moveReplacing(const wchar_t* from, const wchar_t* to) override;
    HANDLE openForDeletion(const wchar_t* path) override;
    BOOL deleteOpened(HANDLE item, DWORD attributes) override;
};
