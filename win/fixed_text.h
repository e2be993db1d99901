// Bounded text into fixed char buffers: a text that does not fit is refused
// (the buffer is left empty and false returned), never cut or overrun.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace win {

// Joins the parts into dst[0..capacity); true when the whole result and its
// NUL fit.
inline bool joinText(char* dst, std::size_t capacity, std::initializer_list<const char*> parts) {
    std::size_t used = 0;
    for (const char* part : parts) {
        std::size_t n = std::strlen(part);
        if (n >= capacity - used) {
            if (capacity) dst[0] = '\0';
            return false;
        }
        std::memcpy(dst + used, part, n);
        used += n;
    }
    if (capacity) dst[used] = '\0';
    return capacity != 0;
}

template <std::size_t N>
bool joinText(char (&dst)[N], std::initializer_list<const char*> parts) {
    return joinText(dst, N, parts);
}

template <std::size_t N>
bool copyText(char (&dst)[N], const char* src) {
    return joinText(dst, N, {src});
}

// Copies at most N-1 bytes and always terminates: for the places where a
// cut is the documented behaviour (INI values, captions, names of 259).
template <std::size_t N>
void copyTextCut(char (&dst)[N], const char* src) {
    std::size_t n = std::strlen(src);
    if (n > N - 1) n = N - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// The three path forms, told apart by their first three characters.
inline bool isDriveAbsolute(const char* p) { return p[0] && p[1] == ':' && p[2] == '\\'; }
inline bool isNetworkPath(const char* p) { return p[0] == '\\' && p[1] == '\\'; }

}  // namespace win
