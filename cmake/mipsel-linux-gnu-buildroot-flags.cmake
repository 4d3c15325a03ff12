# SPDX-License-Identifier: MIT
# The mipsel glibc target built the way Buildroot builds a CMake package by default: its
# toolchain file's Release build type and flags, with Buildroot's default hardening (-O2,
# _FORTIFY_SOURCE=1, the strong stack protector, full RELRO, PIE requested). It shows what a
# device's image gets, beside the project's own flags.
include(${CMAKE_CURRENT_LIST_DIR}/mipsel-linux-gnu.cmake)

set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type, as Buildroot's toolchain file sets it")
set(CMAKE_CXX_FLAGS_RELEASE "-DNDEBUG" CACHE STRING "Release flags, as Buildroot's")
set(CMAKE_C_FLAGS_RELEASE "-DNDEBUG" CACHE STRING "Release flags, as Buildroot's")
set(buildroot_flags "-D_LARGEFILE_SOURCE -D_LARGEFILE64_SOURCE -D_FILE_OFFSET_BITS=64 -O2 -g0 \
-D_FORTIFY_SOURCE=1 -fstack-protector-strong -fPIE")
set(CMAKE_CXX_FLAGS ${buildroot_flags} CACHE STRING "Buildroot's default target flags")
set(CMAKE_C_FLAGS ${buildroot_flags} CACHE STRING "Buildroot's default target flags")
set(CMAKE_EXE_LINKER_FLAGS "-Wl,-z,relro -Wl,-z,now -pie" CACHE STRING
    "Buildroot's default target link flags")
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
