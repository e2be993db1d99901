# The shipped 32-bit program.
set(TOLVAREN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
