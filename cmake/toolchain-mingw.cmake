# Cross build of the Windows plug-in with MinGW-w64, shared by the 32-bit and
# the 64-bit toolchain files (they set VR_MINGW_PREFIX and VR_WINE_ARCH first).
# The posix thread model: the win32 model has no std::mutex and GoogleTest does
# not build with it.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VR_MINGW_PREFIX}-windres)
# CMake cannot derive the binutils prefix from the "-posix" compiler names.
set(CMAKE_AR ${VR_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VR_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${VR_MINGW_PREFIX}-objdump CACHE FILEPATH "")
set(CMAKE_OBJCOPY ${VR_MINGW_PREFIX}-objcopy CACHE FILEPATH "")
set(CMAKE_STRIP ${VR_MINGW_PREFIX}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${VR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No fused multiply-add: audio must match the other builds bit for bit.
string(APPEND CMAKE_C_FLAGS_INIT " -ffp-contract=off")
string(APPEND CMAKE_CXX_FLAGS_INIT " -ffp-contract=off")

# libgcc, libstdc++ and winpthread go inside every binary: the DLL must need
# nothing but the Windows system libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine, in the prefix of their own word size.
get_filename_component(VR_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${VR_WINE_RUN};--arch;${VR_WINE_ARCH}")
