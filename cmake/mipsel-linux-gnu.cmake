# SPDX-License-Identifier: MIT
# 32-bit little-endian MIPS with Debian's cross compiler and its glibc, linked dynamically.
set(SPIN_DOWN_TRIPLET mipsel-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
