# SPDX-License-Identifier: MIT
# A Linux target with Debian's cross compiler for it and its glibc, linked dynamically:
#   -DCMAKE_TOOLCHAIN_FILE=cmake/linux-gnu-cross.cmake -DSPIN_DOWN_TRIPLET=arm-linux-gnueabi
# (mipsel-linux-gnu, mips-linux-gnu, arm-linux-gnueabi, arm-linux-gnueabihf, aarch64-linux-gnu;
# g++-TRIPLET installs each). Programs and tests run on the build machine through qemu-user,
# which finds the target's loader and libraries under the cross compiler's own tree.
if(NOT SPIN_DOWN_TRIPLET AND DEFINED ENV{SPIN_DOWN_TRIPLET})
  set(SPIN_DOWN_TRIPLET $ENV{SPIN_DOWN_TRIPLET})
endif()
if(NOT SPIN_DOWN_TRIPLET)
  message(FATAL_ERROR "Give the target: -DSPIN_DOWN_TRIPLET=mips-linux-gnu (or another triplet)")
endif()
set(SPIN_DOWN_TRIPLET ${SPIN_DOWN_TRIPLET} CACHE STRING "The target, as Debian's cross compiler names it")
# The environment carries it into the test projects that CMake configures on its own.
set(ENV{SPIN_DOWN_TRIPLET} ${SPIN_DOWN_TRIPLET})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPIN_DOWN_TRIPLET)

# The processor as CMake names it, and the emulator that runs it.
string(REGEX MATCH "^[^-]+" cpu ${SPIN_DOWN_TRIPLET})
if(cpu MATCHES "^mips")
  set(CMAKE_SYSTEM_PROCESSOR mips)
else()
  set(CMAKE_SYSTEM_PROCESSOR ${cpu})
endif()
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${SPIN_DOWN_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${SPIN_DOWN_TRIPLET}-g++)
set(SPIN_DOWN_TARGET_ROOT /usr/${SPIN_DOWN_TRIPLET} CACHE PATH "Target libraries for the emulator")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${cpu} -L ${SPIN_DOWN_TARGET_ROOT})

set(CMAKE_FIND_ROOT_PATH ${SPIN_DOWN_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
