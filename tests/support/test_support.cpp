#include "support/test_support.h"

#include <deque>
#include <fstream>
#include <stdexcept>

#include "win/message_box.h"

namespace test {

namespace {
std::deque<int>& answers() {
    static std::deque<int> queue;
    return queue;
}
bool& realBoxes() {
    static bool real = false;
    return real;
}
}  // namespace

TempDir::TempDir() {
    static int counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (;;) {
        path_ = std::string(base) + "tolvaren-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
    }
}

TempDir::~TempDir() { removeAll(path_); }

std::string buildFile(const std::string& rel) {
    std::string unix = std::string(TOLVAREN_BUILD_DIR) + "/" + rel;
    std::string win = "Z:" + unix;
    for (char& c : win)
        if (c == '/') c = '\\';
    return win;
}

void makeDirs(const std::string& path) {
    for (std::size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::size_t slash = path.rfind('\\');
    if (slash != std::string::npos) makeDirs(path.substr(0, slash));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out << bytes;
}

std::string readFile(const std::string& path) {
    // Shares delete access too: a helper that writes its result aside and
    // renames it into place still holds the file, with delete access, for a
    // moment after the new name appears, and a reader that did not share
    // that access would be refused and see nothing.
    win::UniqueFileHandle in(CreateFileA(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!in) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void removeAll(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = d.cFileName;
            if (n != "." && n != "..") removeAll(path + "\\" + n);
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = readFile(path), line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

FILETIME fileTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void setFileTime(const std::string& path, FILETIME t) {
    DWORD a = GetFileAttributesA(path.c_str());
    bool dir = a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, dir ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

FILETIME addSeconds(FILETIME t, long long seconds) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    v.QuadPart += seconds * 10000000LL;
    return FILETIME{v.LowPart, v.HighPart};
}

void setAttributes(const std::string& path, DWORD attributes) { SetFileAttributesA(path.c_str(), attributes); }

int runProgram(const std::string& commandLine, const std::string& cwd, DWORD timeoutMs) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(), &si,
                        &pi))
        return -1;
    CloseHandle(pi.hThread);
    int result;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 1);
        result = -2;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result = static_cast<int>(code);
    }
    CloseHandle(pi.hProcess);
    return result;
}

bool makeUnixLink(const std::string& dir, const std::string& target, const std::string& name) {
    if (runProgram("/bin/ln -s " + target + " " + name, dir) != 0) return false;
    std::string link = dir + "\\" + name;
    // A link to a device has no attributes under Wine, but it opens.
    auto present = [&] {
        if (fileExists(link)) return true;
        FILE* f = std::fopen(link.c_str(), "rb");
        if (f) std::fclose(f);
        return f != nullptr;
    };
    for (int i = 0; i < 100 && !present(); ++i) Sleep(50);
    return present();
}

bool runUnixShell(const std::string& dir, const std::string& command) {
    const std::string done = dir + "\\unix-shell.done";
    DeleteFileA(done.c_str());
    if (runProgram("/bin/sh -c \"" + command + " && touch unix-shell.done\"", dir) != 0) return false;
    for (int i = 0; i < 1200 && !fileExists(done); ++i) Sleep(50);
    return DeleteFileA(done.c_str()) != FALSE;
}

std::vector<BoxCall>& boxCalls() {
    static std::vector<BoxCall> calls;
    return calls;
}

void queueBoxAnswer(int answer) { answers().push_back(answer); }

void resetBoxes() {
    boxCalls().clear();
    answers().clear();
    realBoxes() = false;
}

void useRealMessageBoxes(bool real) { realBoxes() = real; }

namespace {
struct DialogSearch {
    HWND owner;
    HWND found;
};
BOOL CALLBACK matchDialog(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && GetWindow(hwnd, GW_OWNER) == search->owner && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND findOwnedDialog(HWND owner, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        DialogSearch search{owner, nullptr};
        EnumWindows(&matchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

void pressDialogButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button)
        SendMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

Pixels captureClient(HWND window) {
    Pixels p;
    RECT client{};
    GetClientRect(window, &client);
    p.width = client.right;
    p.height = client.bottom;
    if (p.width <= 0 || p.height <= 0) return p;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = p.width;
    info.bmiHeader.biHeight = -p.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, p.width, p.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const unsigned char*>(bits);
    p.data.resize(static_cast<std::size_t>(p.width) * p.height);
    for (std::size_t i = 0; i < p.data.size(); ++i) p.data[i] = RGB(quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4]);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    return p;
}

void pumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

}  // namespace test

// The test program's message box: records the call and gives the next
// scripted answer instead of showing anything.
int messageBox(HWND owner, const char* text, const char* caption, UINT type) {
    test::boxCalls().push_back({owner, text ? text : "", caption ? caption : "", type});
    if (test::realBoxes()) return MessageBoxA(owner, text, caption, type);
    auto& queue = test::answers();
    if (queue.empty()) return IDOK;
    int answer = queue.front();
    queue.pop_front();
    return answer;
}

#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <iostream>

namespace test {

namespace {

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int runProgram(const std::string& commandLine, const std::string& cwd, const RunOptions& options) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    HANDLE out = INVALID_HANDLE_VALUE, err = INVALID_HANDLE_VALUE;
    if (!options.stdoutPath.empty() || !options.stderrPath.empty()) {
        si.dwFlags = STARTF_USESTDHANDLES;
        if (!options.stdoutPath.empty()) out = inheritableFile(options.stdoutPath);
        if (!options.stderrPath.empty()) err = inheritableFile(options.stderrPath);
        si.hStdInput = INVALID_HANDLE_VALUE;
        si.hStdOutput = out;
        si.hStdError = err;
    }
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, si.dwFlags ? TRUE : FALSE, 0, nullptr,
                                  cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (!started) return -1;
    CloseHandle(pi.hThread);
    DWORD waited = 0;
    int result = -2;
    while (waited < options.timeoutMs) {
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            result = static_cast<int>(code);
            break;
        }
        waited += 50;
        if (options.whileRunning) options.whileRunning(pi.dwProcessId);
    }
    if (result == -2) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    return result;
}

namespace {
struct BoxSearch {
    DWORD pid;
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK matchBox(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<BoxSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char title[256] = "", cls[64] = "";
    GetWindowTextA(w, title, sizeof title);
    GetClassNameA(w, cls, sizeof cls);
    if (owner == s->pid && IsWindowVisible(w) && *s->caption == title && std::string(cls) == "#32770") {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK firstStaticText(HWND w, LPARAM p) {
    char cls[64] = "", t[2048] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, t, sizeof t);
    auto* out = reinterpret_cast<std::string*>(p);
    if (_stricmp(cls, "Static") == 0 && t[0] && out->empty()) *out = t;
    return TRUE;
}
}  // namespace

HWND findMessageBox(DWORD pid, const std::string& caption) {
    BoxSearch search{pid, &caption, nullptr};
    EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string messageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, firstStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void pressButton(HWND box, int id) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

BoxAnswerer::BoxAnswerer(std::string caption, std::vector<int> answers)
    : caption_(std::move(caption)), answers_(std::move(answers)) {}

void BoxAnswerer::operator()(DWORD pid) {
    HWND box = findMessageBox(pid, caption_);
    if (!box || box == last_) return;  // none yet, or the one just answered is still closing
    std::string text = messageBoxText(box);
    if (text.empty()) return;  // not drawn completely yet
    seen_.push_back({caption_, text});
    int answer = seen_.size() <= answers_.size() ? answers_[seen_.size() - 1] : IDOK;
    pressButton(box, answer);
    last_ = box;
}

KeepStandardStreams::KeepStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = _dup(1);
    savedErr_ = _dup(2);
}

KeepStandardStreams::~KeepStandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    // The streams may be open on a log or closed: open them on anything,
    // then put the saved descriptors under them.
    std::freopen("NUL", "w", stdout);
    std::freopen("NUL", "w", stderr);
    if (savedOut_ >= 0) _dup2(savedOut_, _fileno(stdout)), _close(savedOut_);
    if (savedErr_ >= 0) _dup2(savedErr_, _fileno(stderr)), _close(savedErr_);
    std::cout.clear();
    std::cerr.clear();
}

CurrentDirectory::CurrentDirectory(const std::string& dir) {
    GetCurrentDirectoryA(MAX_PATH, saved_);
    SetCurrentDirectoryA(dir.c_str());
}

CurrentDirectory::~CurrentDirectory() { SetCurrentDirectoryA(saved_); }

CaptureStderr::CaptureStderr() { std::freopen((dir_ / "stderr.txt").c_str(), "w", stderr); }

CaptureStderr::~CaptureStderr() = default;

std::string CaptureStderr::text() {
    std::fflush(stderr);
    return readFile(dir_ / "stderr.txt");
}

}  // namespace test

#include "worker/process_platform.h"
#include "worker/running_check.h"

namespace test {

Process::Process(const std::string& commandLine, const std::string& cwd) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(), &si,
                        &pi))
        return;
    CloseHandle(pi.hThread);
    handle_.reset(pi.hProcess);
    id_ = pi.dwProcessId;
}

Process::~Process() {
    if (!running()) return;
    TerminateProcess(handle_.get(), 99);
    WaitForSingleObject(handle_.get(), 5000);
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

int Process::wait(DWORD ms) {
    if (!handle_) return -1;
    if (WaitForSingleObject(handle_.get(), ms) != WAIT_OBJECT_0) return -2;
    DWORD code = 0;
    GetExitCodeProcess(handle_.get(), &code);
    return static_cast<int>(code);
}

void endProcessesOf(const std::string& path) {
    ProcessPlatform& platform = ProcessPlatform::real();
    for (int attempt = 0; attempt < 10; ++attempt) {
        DWORD id = findProcessByPath(platform, path.c_str());
        if (!id) return;
        if (auto process = platform.openProcess(id)) {
            process->terminate();
            process->waitForExit(5000);
        }
    }
}

bool commandStarted(const std::string& program, const std::string& marker) {
    bool running = findProcessByPath(ProcessPlatform::real(), program.c_str()) != 0;
    return running || fileExists(marker);
}

}  // namespace test
