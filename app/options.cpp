#include "app/options.h"

#include <windows.h>
#include <cstring>

#include "app/ini_template.h"
#include "win/show_message.h"

const char* const kUsageText =
    "Параметры запуска утилиты синхронизации: [<имя файла инициализации>| /g | /h ] [/l]\n"
    "<имя файла инициализации> - если задано не полное имя файла, то файл должен находиться в рабочем "
    "каталоге утилиты синхронизации.\n"
    "/g - создать файл инициализации по умолчанию\n"
    "/h - вывести это сообщение\n"
    "/l - только показать, что будет скопировано, создано и удалено, ничего не изменяя";

namespace {

// The tab is deliberately not a delimiter.
bool isDelimiter(char c) { return c == '\b' || c == '\n' || c == '\r' || c == ' '; }

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

const char* argumentTail(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        while (*++p && *p != '"') {}
        if (*p == '"') ++p;
    } else {
        while (*p && !isBlank(*p)) ++p;
    }
    while (*p && isBlank(*p)) ++p;
    return p;
}

namespace {

// The first place where option stands, ASCII letters in any case (the
// options are ASCII).
const char* findIgnoringCase(const char* text, const char* option) {
    std::size_t n = std::strlen(option);
    for (; *text; ++text)
        if (_strnicmp(text, option, n) == 0) return text;
    return nullptr;
}

}  // namespace

bool findOption(const char* arguments, const char* option) {
    const char* found = findIgnoringCase(arguments, option);
    if (!found) return false;
    char after = found[std::strlen(option)];
    if (after != '\0' && !isDelimiter(after)) return false;
    return found == arguments || isDelimiter(found[-1]);
}

const char* withoutLeadingOption(const char* arguments, const char* option) {
    std::size_t n = std::strlen(option);
    if (_strnicmp(arguments, option, n) != 0 || (arguments[n] != '\0' && !isDelimiter(arguments[n]))) return arguments;
    const char* rest = arguments + n;
    while (*rest && isBlank(*rest)) ++rest;
    return rest;
}

bool parseOptions(const char* arguments) {
    if (findOption(arguments, "/n")) quietMode = true;
    if (findOption(arguments, "/g")) {
        if (generateIniFile()) showGeneratedMessage();
        return false;
    }
    if (findOption(arguments, "/h")) {
        showMessage(nullptr, kUsageText, "tolvaren", MB_ICONINFORMATION);
        return false;
    }
    return true;
}
