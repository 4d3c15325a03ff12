# SPDX-License-Identifier: MIT
# Flags shared by the library and the programs. Tests take only the warnings: GoogleTest wants
# exceptions and RTTI, the shipped code wants neither.
set(SPIN_DOWN_WARNINGS -Wall -Wextra -Wshadow -Wconversion)
if(SPIN_DOWN_WERROR)
  list(APPEND SPIN_DOWN_WARNINGS -Werror)
endif()

# The fuzz build is instrumented as the sanitizer build is, and for coverage; only the fuzz
# targets link libFuzzer's runtime, which brings its own main().
set(SPIN_DOWN_INSTRUMENTED OFF)
if(SPIN_DOWN_SANITIZE OR SPIN_DOWN_FUZZ)
  set(SPIN_DOWN_INSTRUMENTED ON)
  set(SPIN_DOWN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                                -fno-omit-frame-pointer)
  add_compile_options(${SPIN_DOWN_SANITIZER_FLAGS})
  add_link_options(${SPIN_DOWN_SANITIZER_FLAGS})
endif()
if(SPIN_DOWN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SPIN_DOWN_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Size matters on the target: link-time optimisation folds the small units into each program,
# and on MIPS position-dependent code with PLT calls (-mno-shared -mplt) is a fifth smaller
# than the default PIC, every call of which goes through the GOT.
include(CheckIPOSupported)
check_ipo_supported(RESULT SPIN_DOWN_IPO OUTPUT ipo_output LANGUAGES CXX)
if(NOT SPIN_DOWN_IPO AND NOT SPIN_DOWN_INSTRUMENTED)
  message(WARNING "Link-time optimisation is not available with this toolchain, so the programs "
                  "are built without it and come out larger: ${ipo_output}")
endif()
set(SPIN_DOWN_MIPS_NON_PIC OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^mips")
  set(SPIN_DOWN_MIPS_NON_PIC ON)
  # Every executable links the library's position-dependent code, the tests' too.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -no-pie")
endif()

# The linker lays segments out for the largest page size the architecture allows, 64 KiB on MIPS,
# and with full RELRO it pads the data segment to that boundary in the file: a 10 KiB program
# grows to 66 KiB. The 32-bit MIPS kernels these devices run use 4 KiB pages; a kernel built with
# 16 or 64 KiB pages needs programs linked for that size, or it cannot map them.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^mips" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SPIN_DOWN_MAX_PAGE_SIZE 4096 CACHE STRING
      "Largest page size (bytes) of the kernels the programs must run on")
  math(EXPR page_size_bits "${SPIN_DOWN_MAX_PAGE_SIZE} & (${SPIN_DOWN_MAX_PAGE_SIZE} - 1)")
  if(SPIN_DOWN_MAX_PAGE_SIZE LESS 4096 OR NOT page_size_bits EQUAL 0)
    message(FATAL_ERROR "SPIN_DOWN_MAX_PAGE_SIZE=${SPIN_DOWN_MAX_PAGE_SIZE}: "
                        "give a power of two of at least 4096")
  endif()
  add_link_options(-Wl,-z,max-page-size=${SPIN_DOWN_MAX_PAGE_SIZE}
                   -Wl,-z,common-page-size=4096)
endif()

function(spin_down_program_options target)
  target_compile_options(${target} PRIVATE ${SPIN_DOWN_WARNINGS}
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)
  if(SPIN_DOWN_IPO AND NOT SPIN_DOWN_INSTRUMENTED)
    set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  endif()
  if(SPIN_DOWN_MIPS_NON_PIC)
    set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE OFF)
    target_compile_options(${target} PRIVATE -mno-shared -mplt)
  endif()
endfunction()

# A program links against the C library alone: the C++ runtime it would pull is linked in
# statically (and, with no exceptions, RTTI or heap, nothing of it is used).
function(spin_down_program target)
  spin_down_program_options(${target})
  target_link_libraries(${target} PRIVATE spin_down)
  if(NOT SPIN_DOWN_INSTRUMENTED)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc
                        -Wl,--as-needed -Wl,--gc-sections)
  endif()
endfunction()

function(spin_down_test_options target)
  target_compile_options(${target} PRIVATE ${SPIN_DOWN_WARNINGS})
endfunction()
