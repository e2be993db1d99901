# The same sources for 64-bit Windows, run where 32-bit programs cannot be.
set(TOLVAREN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
