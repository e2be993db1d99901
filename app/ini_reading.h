// Reading values of [Основные параметры] and storing directory paths.
#pragma once

#include <string>

#include "core/settings.h"

extern const char* const kMainSection;  // "Основные параметры"

// A value of [Основные параметры], at most 32766 characters.
std::string readIniValue(const char* iniPath, const char* key, const char* defaultValue);

// КаталогПриемник with its environment variables expanded (default
// "C:\ДАРВ Клиент"); empty when it is set empty or cannot be expanded.
std::string readDestinationSetting(const char* iniPath);

// A value read straight into a 1024-byte field (a longer one arrives cut).
void readIniField(const char* iniPath, const char* key, const char* defaultValue, char (&field)[kPathBuffer]);

// A yes/no value upper-cased in Windows-1251; a missing key reads as the
// current field, "да" or "нет".
std::string readYesNoText(const char* iniPath, const char* key, bool field);

// Yes exactly when the upper-cased value is "ДА"; a missing key keeps field.
void readYesNo(const char* iniPath, const char* key, bool& field);

// Copies a directory path into field with a closing backslash; false (and
// the field left empty) when it is empty or does not fit.
bool storeDirPath(char (&field)[kPathBuffer], const char* text);
