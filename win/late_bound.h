// Functions of the shell and OLE DLLs, looked up when first needed: most
// runs never show a picture from an archive, and loading those DLLs at
// start-up costs every run a few milliseconds before its first listing.
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

namespace win {

// A system DLL loaded for as long as its owner lives, and a function of it.
template <typename Function>
struct LateBound {
    UniqueModule module;
    Function* call = nullptr;

    LateBound(const char* dll, const char* name) : module(LoadLibraryA(dll)) {
        if (module) call = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)));
    }
    explicit operator bool() const { return call != nullptr; }
};

}  // namespace win
