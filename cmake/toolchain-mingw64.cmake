# The 64-bit Windows build: x86_64 MinGW-w64 (doubles are SSE2 there already).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VR_MINGW_PREFIX x86_64-w64-mingw32)
set(VR_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
