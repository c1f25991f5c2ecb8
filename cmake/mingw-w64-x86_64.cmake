# Cross build for 64-bit Windows with Debian's mingw-w64 compilers, the -posix flavour (its
# C++ library has std::thread, std::mutex and std::condition_variable). Every program is linked
# -static, so each .exe runs alone. Libraries and headers come only from the target's own tree
# (/usr/x86_64-w64-mingw32: zlib from libz-mingw-w64-dev, libgcrypt from
# libgcrypt-mingw-w64-dev), programs from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QL_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only (the platform files would put the DLLs' import libraries first).
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-static.cmake)
# pkg-config answers from the target's tree, never from the build machine's (whose libwavpack
# is not a Windows library).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${QL_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and programs run on the build machine through wine (cmake/wine-run), in a wine prefix of
# the build's own unless QL_WINEPREFIX names one.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run --default-prefix
  ${CMAKE_BINARY_DIR}/wine-prefix)
