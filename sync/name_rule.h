// The name rule of the registries: names compare like _stricmp in the "C"
// locale, so only the ASCII letters fold; Cyrillic and every other byte must
// be equal exactly.
#pragma once

#include <cstdint>
#include <string>

bool nameMatch(const char* a, const char* b);

// Hash of a name folded by the name rule: names that match hash alike.
uint32_t nameHash(const char* name);

// The name with its ASCII letters folded: names that match fold alike.
std::string foldName(const char* name);
