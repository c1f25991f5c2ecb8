# Read after project() in the cross build (the toolchain's CMAKE_PROJECT_INCLUDE), once the
# Windows platform files have set their own search order: find only static archives, so that
# zlib and libgcrypt go into each .exe instead of a DLL beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
