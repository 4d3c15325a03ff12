# SPDX-License-Identifier: MIT
# 32-bit little-endian MIPS against musl, OpenWrt's C library, linked dynamically as OpenWrt
# links its packages, from the sysroot that scripts/musl-sysroot puts together (hard-float, as
# Debian's musl is), or that of scripts/soft-float-musl-sysroot mipsel (soft-float, as OpenWrt's
# mipsel_24kc images are: the programs only, as it has no C++ library). The compiler is
# Debian's, built for glibc: its default headers are replaced by the sysroot's (only gcc's own
# remain) and the sysroot's specs file replaces its start files, libraries and loader. Programs
# and tests run on the build machine through qemu-user, with the sysroot as the target's root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

# scripts/musl-sysroot prints the path: its sysroots are keyed by their recipe. The environment
# carries it into the test projects that CMake configures on its own.
if(NOT SPIN_DOWN_MUSL_SYSROOT AND DEFINED ENV{SPIN_DOWN_MUSL_SYSROOT})
  set(SPIN_DOWN_MUSL_SYSROOT $ENV{SPIN_DOWN_MUSL_SYSROOT})
endif()
set(SPIN_DOWN_MUSL_SYSROOT "${SPIN_DOWN_MUSL_SYSROOT}" CACHE PATH
    "musl sysroot put together by scripts/musl-sysroot")
set(ENV{SPIN_DOWN_MUSL_SYSROOT} ${SPIN_DOWN_MUSL_SYSROOT})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPIN_DOWN_MUSL_SYSROOT)
if(NOT EXISTS ${SPIN_DOWN_MUSL_SYSROOT}/musl.specs)
  message(FATAL_ERROR "No musl sysroot at '${SPIN_DOWN_MUSL_SYSROOT}': "
                      "pass -DSPIN_DOWN_MUSL_SYSROOT=\"$(scripts/musl-sysroot)\"")
endif()
# Tells the project's CMake files that this is the musl build.
set(SPIN_DOWN_MUSL ON CACHE BOOL "Linked against musl" FORCE)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mipsel -L ${SPIN_DOWN_MUSL_SYSROOT})

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir ${libgcc} DIRECTORY)

# The sysroot's headers replace the compiler's default ones: its C++ library's, gcc's own, then
# the C library's. (Not cached, unlike flags, so a build directory follows a change of sysroot.)
# A soft-float sysroot carries its own libgcc, built for soft float; the code is built so too.
set(float_flags "")
if(EXISTS ${SPIN_DOWN_MUSL_SYSROOT}/usr/lib/libgcc.a)
  set(float_flags " -msoft-float")
endif()
set(CMAKE_C_FLAGS_INIT "-nostdinc${float_flags}")
set(CMAKE_CXX_FLAGS_INIT "-nostdinc${float_flags}")
set(c_includes ${gcc_dir}/include ${SPIN_DOWN_MUSL_SYSROOT}/usr/include)
set(cxx_library_includes ${SPIN_DOWN_MUSL_SYSROOT}/usr/include/c++
    ${SPIN_DOWN_MUSL_SYSROOT}/usr/include/c++/mipsel-linux-musl)
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${c_includes})
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${cxx_library_includes} ${c_includes})
# The C++ library (the sysroot's, built for musl; only the tests use it) is linked statically,
# never the compiler's own shared one, which is glibc's.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT
      "-specs=${SPIN_DOWN_MUSL_SYSROOT}/musl.specs -static-libstdc++ -static-libgcc")
endforeach()

set(CMAKE_FIND_ROOT_PATH ${SPIN_DOWN_MUSL_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
