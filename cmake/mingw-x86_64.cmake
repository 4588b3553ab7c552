# Cross toolchain of the 64-bit test vehicle: 64-bit Windows (PE32+), Debian's mingw-w64 x86_64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
