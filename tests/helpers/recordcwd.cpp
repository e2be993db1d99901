// Started by the command-launch tests: writes its working directory and its
// command line after the program name into the file named by its first
// argument (first line, second line). The file appears complete or not at all.
#include <windows.h>
#include <cstdio>
#include <string>

namespace {

// The command line after the program name and the blanks that follow it.
const char* argumentsOf(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {}
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    char cwd[1024];
    if (!GetCurrentDirectoryA(sizeof cwd, cwd)) return 3;
    std::string partial = std::string(argv[1]) + ".part";
    FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out) return 4;
    std::fprintf(out, "%s\n%s\n", cwd, argumentsOf(GetCommandLineA()));
    std::fclose(out);
    return MoveFileA(partial.c_str(), argv[1]) ? 0 : 5;
}
