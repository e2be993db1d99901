# Cross-compilation to Windows with the posix-thread mingw-w64 compilers, for
# the architecture TOLVAREN_ARCH that the including file sets (i686: the
# shipped 32-bit program; x86_64: the same sources where 32-bit programs
# cannot run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOLVAREN_ARCH})
set(CMAKE_C_COMPILER ${TOLVAREN_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVAREN_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVAREN_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAREN_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
