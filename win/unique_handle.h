// One move-only owner for every Win32 and CRT handle kind; each kind is an
// alias naming its close function and its invalid value.
#pragma once

#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace win {

template <typename T, auto Close, std::intptr_t Invalid = 0>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    static T invalid() noexcept { return (T)(Invalid); }
    bool valid() const noexcept { return value_ != invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    T get() const noexcept { return value_; }

    T release() noexcept { return std::exchange(value_, invalid()); }
    void reset(T value = invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (old != invalid()) Close(old);
    }

private:
    T value_ = invalid();
};

inline void closeFile(FILE* f) { std::fclose(f); }

using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;    // process, thread, event, mapping
using UniqueFileHandle = UniqueHandle<HANDLE, &CloseHandle, -1>;  // CreateFile, toolhelp snapshots
using UniqueFind = UniqueHandle<HANDLE, &FindClose, -1>;
using UniqueView = UniqueHandle<void*, &UnmapViewOfFile>;
using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueBitmap = UniqueHandle<HBITMAP, &DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniqueMemoryDC = UniqueHandle<HDC, &DeleteDC>;
using UniqueCrtFile = UniqueHandle<FILE*, &closeFile>;

// Owner of one COM interface pointer.
template <typename I>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Address for functions that return a new reference (the old one is released).
    I** put() noexcept {
        reset();
        return &p_;
    }
    void reset() noexcept {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }

private:
    I* p_ = nullptr;
};

}  // namespace win
