#include <windows.h>

#include <exception>
#include <iostream>

#include "app/options.h"
#include "app/run.h"

namespace {

// The last resort of the main thread: a failure that escaped the run (memory
// running out at start-up) ends it with one line in the error stream, if
// there still is one, instead of ending the process without its teardown.
void reportEscaped(const char* what) { std::cerr << "Ошибка: " << what << ", работа программы прервана" << std::endl; }

}  // namespace

// WinMain's own argument string is not used: this runtime's start-up code
// compares its bytes as signed, so every Cyrillic letter counts as a blank
// and cuts both an unquoted program path and the INI name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        runTolvaren(instance, argumentTail(GetCommandLineA()));
    } catch (const std::exception& error) {
        reportEscaped(error.what());
    } catch (...) {
        reportEscaped("неизвестное исключение");
    }
    return 0;
}
