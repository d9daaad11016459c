# The 32-bit Windows build: i686 MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VR_MINGW_PREFIX i686-w64-mingw32)
set(VR_WINE_ARCH win32)
# Doubles in SSE2 registers, never x87 extended precision: audio must match the
# 64-bit builds bit for bit.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
