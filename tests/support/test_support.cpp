#include "support/test_support.h"

#include <deque>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/message_box.h"

namespace test {

namespace {
std::deque<int>& answers() {
    static std::deque<int> queue;
    return queue;
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
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
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
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi))
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

std::vector<BoxCall>& boxCalls() {
    static std::vector<BoxCall> calls;
    return calls;
}

void queueBoxAnswer(int answer) { answers().push_back(answer); }

void resetBoxes() {
    boxCalls().clear();
    answers().clear();
}

}  // namespace test

// The test program's message box: records the call and gives the next
// scripted answer instead of showing anything.
int messageBox(HWND owner, const char* text, const char* caption, UINT type) {
    test::boxCalls().push_back({owner, text ? text : "", caption ? caption : "", type});
    auto& queue = test::answers();
    if (queue.empty()) return IDOK;
    int answer = queue.front();
    queue.pop_front();
    return answer;
}
