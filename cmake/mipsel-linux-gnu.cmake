# SPDX-License-Identifier: MIT
# 32-bit little-endian MIPS with Debian's cross compiler and its glibc, linked dynamically.
# Programs and tests run on the build machine through qemu-user, which finds the target's
# loader and libraries under the cross compiler's own tree.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(SPIN_DOWN_TARGET_ROOT /usr/mipsel-linux-gnu CACHE PATH "Target libraries for the emulator")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mipsel -L ${SPIN_DOWN_TARGET_ROOT})

set(CMAKE_FIND_ROOT_PATH ${SPIN_DOWN_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
