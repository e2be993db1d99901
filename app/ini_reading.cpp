#include "app/ini_reading.h"

#include <windows.h>
#include <cstring>
#include <vector>

#include "core/text1251.h"

const char* const kMainSection = "Основные параметры";

namespace {
constexpr DWORD kValueBuffer = 0x7FFF;
}

std::string readIniValue(const char* iniPath, const char* key, const char* defaultValue) {
    std::vector<char> buffer(kValueBuffer);
    GetPrivateProfileStringA(kMainSection, key, defaultValue, buffer.data(), kValueBuffer, iniPath);
    return buffer.data();
}

std::string readDestinationSetting(const char* iniPath) {
    std::string value = readIniValue(iniPath, "КаталогПриемник", "C:\\ДАРВ Клиент");
    if (value.empty()) return value;
    std::vector<char> expanded(ExpandEnvironmentStringsA(value.c_str(), nullptr, 0) + 1);
    DWORD n = ExpandEnvironmentStringsA(value.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    return n > 0 && n <= expanded.size() ? std::string(expanded.data()) : std::string();
}

void readIniField(const char* iniPath, const char* key, const char* defaultValue, char (&field)[kPathBuffer]) {
    GetPrivateProfileStringA(kMainSection, key, defaultValue, field, sizeof field, iniPath);
}

std::string readYesNoText(const char* iniPath, const char* key, bool field) {
    std::string value = readIniValue(iniPath, key, field ? "да" : "нет");
    upperCase1251(&value[0]);
    return value;
}

void readYesNo(const char* iniPath, const char* key, bool& field) {
    field = _stricmp(readYesNoText(iniPath, key, field).c_str(), "ДА") == 0;
}

bool storeDirPath(char (&field)[kPathBuffer], const char* text) {
    field[0] = '\0';
    std::size_t n = std::strlen(text);
    if (n == 0) return false;  // a lone backslash would name the drive root
    bool closed = text[n - 1] == '\\';
    if (n + (closed ? 0 : 1) > kPathBuffer - 1) return false;
    std::memcpy(field, text, n);
    if (!closed) field[n++] = '\\';
    field[n] = '\0';
    return true;
}
