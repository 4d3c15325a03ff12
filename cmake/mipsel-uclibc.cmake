# SPDX-License-Identifier: MIT
# 32-bit little-endian MIPS with Debian's cross compiler, linked statically against uClibc-ng,
# the target's own C library, from the sysroot that scripts/build-uclibc-sysroot makes. The
# compiler was built for glibc, so its default headers, start files and libraries are replaced
# by the sysroot's; only gcc's own headers and libgcc remain. The static programs run on the
# build machine through qemu-user as they are.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mipsel)

# scripts/build-uclibc-sysroot prints the path: its sysroots are keyed by their recipe. The
# environment carries it into the test projects that CMake configures on its own.
if(NOT SPIN_DOWN_UCLIBC_SYSROOT AND DEFINED ENV{SPIN_DOWN_UCLIBC_SYSROOT})
  set(SPIN_DOWN_UCLIBC_SYSROOT $ENV{SPIN_DOWN_UCLIBC_SYSROOT})
endif()
set(SPIN_DOWN_UCLIBC_SYSROOT "${SPIN_DOWN_UCLIBC_SYSROOT}" CACHE PATH
    "uClibc-ng sysroot made by scripts/build-uclibc-sysroot")
set(ENV{SPIN_DOWN_UCLIBC_SYSROOT} ${SPIN_DOWN_UCLIBC_SYSROOT})
# Tells the project's CMake files that this is the static uClibc-ng build.
set(SPIN_DOWN_UCLIBC ON CACHE BOOL "Linked statically against uClibc-ng" FORCE)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SPIN_DOWN_UCLIBC_SYSROOT)
if(NOT EXISTS ${SPIN_DOWN_UCLIBC_SYSROOT}/usr/lib/libc.a)
  message(FATAL_ERROR "No uClibc-ng sysroot at '${SPIN_DOWN_UCLIBC_SYSROOT}': "
                      "pass -DSPIN_DOWN_UCLIBC_SYSROOT=\"$(scripts/build-uclibc-sysroot)\"")
endif()

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir ${libgcc} DIRECTORY)

# The sysroot's headers replace the compiler's default ones, after gcc's own. The programs use
# the C library's headers alone; libstdc++'s, configured for glibc, are left out. (Not cached,
# unlike flags, so a build directory follows a change of sysroot.)
set(CMAKE_C_FLAGS_INIT -nostdinc)
set(CMAKE_CXX_FLAGS_INIT -nostdinc)
set(c_includes ${gcc_dir}/include ${SPIN_DOWN_UCLIBC_SYSROOT}/usr/include)
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${c_includes})
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${c_includes})

# Start files around the objects; after everything the target names, the C library and libgcc
# alone: the programs use nothing of the C++ runtime.
set(sysroot_lib ${SPIN_DOWN_UCLIBC_SYSROOT}/usr/lib)
set(start_files "${sysroot_lib}/crt1.o ${sysroot_lib}/crti.o ${gcc_dir}/crtbeginT.o")
set(end_files "-Wl,--start-group -lc -lgcc -Wl,--end-group \
${gcc_dir}/crtend.o ${sysroot_lib}/crtn.o")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -nostdlib -L${sysroot_lib}")
foreach(language C CXX)
  set(CMAKE_${language}_LINK_EXECUTABLE "<CMAKE_${language}_COMPILER> <FLAGS> \
<CMAKE_${language}_LINK_FLAGS> <LINK_FLAGS> ${start_files} <OBJECTS> -o <TARGET> \
<LINK_LIBRARIES> ${end_files}")
endforeach()

set(CMAKE_FIND_ROOT_PATH ${SPIN_DOWN_UCLIBC_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
