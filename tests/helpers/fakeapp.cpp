// Stands in for the managed application: runs for argv[1] milliseconds
// (default a minute) and ends with code 0.
#include <windows.h>
#include <cstdlib>

int main(int argc, char** argv) {
    Sleep(argc > 1 ? static_cast<DWORD>(std::atol(argv[1])) : 60000);
    return 0;
}
