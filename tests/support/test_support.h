// Helpers shared by the test suites: real temporary trees, files with chosen
// times and attributes, programs started and waited for, and the scripted
// message box that replaces MessageBoxA in the test program.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "win/unique_handle.h"

namespace test {

// A fresh directory under %TEMP%, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // no trailing backslash
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }

private:
    std::string path_;
};

// Build outputs: buildFile("tolvaren.exe"), buildFile("helpers\\fakeapp.exe").
std::string buildFile(const std::string& rel);

void writeFile(const std::string& path, const std::string& bytes);  // creates parent directories
std::string readFile(const std::string& path);                      // empty when missing
bool fileExists(const std::string& path);                           // file or directory
bool isDirectory(const std::string& path);
void makeDirs(const std::string& path);
void removeAll(const std::string& path);                      // clears read-only bits on the way
std::vector<std::string> readLines(const std::string& path);  // CR LF or LF, no line ends kept

FILETIME fileTimeOf(const std::string& path);
void setFileTime(const std::string& path, FILETIME t);
FILETIME addSeconds(FILETIME t, long long seconds);
void setAttributes(const std::string& path, DWORD attributes);

// A Unix symbolic link dir\name -> target, made by /bin/ln. Wine cannot wait
// for a Unix program, so this waits for the link to appear; false if it does not.
bool makeUnixLink(const std::string& dir, const std::string& target, const std::string& name);

// Runs a /bin/sh command (no double quotes in it) in dir and waits until it
// has ended, up to a minute; false if it failed or did not end. For what
// Wine does slowly: it creates a file in a directory of n files in O(n).
bool runUnixShell(const std::string& dir, const std::string& command);

// Starts a command line in cwd and waits; returns the exit code, or -1 on
// failure to start, -2 on time-out (the process is then terminated).
int runProgram(const std::string& commandLine, const std::string& cwd, DWORD timeoutMs = 60000);

// Scripted answers for messageBox(); every call is recorded.
struct BoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
std::vector<BoxCall>& boxCalls();
void queueBoxAnswer(int answer);  // answers are used in order; IDOK when none is queued
void resetBoxes();
// Real boxes: messageBox calls MessageBoxA (still recorded), so a test can
// find the dialog and press its button from another thread.
void useRealMessageBoxes(bool real);
// The first visible dialog whose owner is owner, waited for; null on time-out.
HWND findOwnedDialog(HWND owner, DWORD timeoutMs = 5000);
void pressDialogButton(HWND dialog, int id);  // IDYES, IDNO, IDOK...

// The client area of a window as pixels, copied from its window DC.
struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> data;
    COLORREF at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};
Pixels captureClient(HWND window);
// Serves the calling thread's messages for the given time.
void pumpMessages(DWORD ms);

}  // namespace test

namespace test {

// runProgram with the child's standard output and error redirected to files
// (empty: not redirected) and a function called about every 50 ms while the
// child runs (given its process id).
struct RunOptions {
    std::string stdoutPath;
    std::string stderrPath;
    std::function<void(DWORD pid)> whileRunning;
    DWORD timeoutMs = 60000;
};
int runProgram(const std::string& commandLine, const std::string& cwd, const RunOptions& options);

// A message box shown by another process: found by its caption, read, and
// answered by pressing one of its buttons.
struct SeenBox {
    std::string caption;
    std::string text;
};
HWND findMessageBox(DWORD pid, const std::string& caption);
std::string messageBoxText(HWND box);
void pressButton(HWND box, int id);  // IDOK, IDYES, IDNO ...

// Answers the boxes a child shows, in order, recording what they said.
class BoxAnswerer {
public:
    BoxAnswerer(std::string caption, std::vector<int> answers);
    void operator()(DWORD pid);
    const std::vector<SeenBox>& seen() const { return seen_; }

private:
    std::string caption_;
    std::vector<int> answers_;
    std::vector<SeenBox> seen_;
    HWND last_ = nullptr;
};

// Keeps the process's standard output and error while a test lets the
// program reopen or close them (run logs) and puts them back afterwards.
class KeepStandardStreams {
public:
    KeepStandardStreams();
    ~KeepStandardStreams();
    KeepStandardStreams(const KeepStandardStreams&) = delete;
    KeepStandardStreams& operator=(const KeepStandardStreams&) = delete;

private:
    int savedOut_;
    int savedErr_;
};

// Makes dir the current directory for the guard's lifetime.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    char saved_[MAX_PATH];
};

// Sends stderr into a file for the guard's lifetime; text() reads it after.
class CaptureStderr {
public:
    CaptureStderr();
    ~CaptureStderr();
    std::string text();

private:
    TempDir dir_;
    KeepStandardStreams keep_;
};

}  // namespace test

namespace test {

// A program started without waiting for it; ended by force if it still runs
// when the object goes.
class Process {
public:
    Process(const std::string& commandLine, const std::string& cwd);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool started() const { return handle_.valid(); }
    DWORD id() const { return id_; }
    bool running() const;
    int wait(DWORD ms);  // exit code, or -2 when it has not ended within ms

private:
    win::UniqueKernelHandle handle_;
    DWORD id_ = 0;
};

// Ends every process whose main module is path (a program a run launched).
void endProcessesOf(const std::string& path);

// Whether a command that writes marker before it ends was started by a
// launcher already past the point of starting it (its call returned, or its
// process ended): the command then either runs or has written marker.
// Looked at in that order, so a command ending between the looks is seen.
bool commandStarted(const std::string& program, const std::string& marker);

}  // namespace test
