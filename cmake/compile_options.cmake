# Flags shared by the library and the programs. Tests take only the warnings: GoogleTest wants
# exceptions and RTTI, the shipped code wants neither.
set(SPIN_DOWN_WARNINGS -Wall -Wextra -Wshadow -Wconversion)
if(SPIN_DOWN_WERROR)
  list(APPEND SPIN_DOWN_WARNINGS -Werror)
endif()

set(SPIN_DOWN_SANITIZER_FLAGS)
if(SPIN_DOWN_SANITIZE)
  set(SPIN_DOWN_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                                -fno-omit-frame-pointer)
  add_compile_options(${SPIN_DOWN_SANITIZER_FLAGS})
  add_link_options(${SPIN_DOWN_SANITIZER_FLAGS})
endif()

# Size matters on the target: link-time optimisation folds the small units into each program,
# and on MIPS position-dependent code with PLT calls (-mno-shared -mplt) is a fifth smaller
# than the default PIC, every call of which goes through the GOT.
include(CheckIPOSupported)
check_ipo_supported(RESULT SPIN_DOWN_IPO OUTPUT ipo_output LANGUAGES CXX)
set(SPIN_DOWN_MIPS_NON_PIC OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^mips")
  set(SPIN_DOWN_MIPS_NON_PIC ON)
  # Every executable links the library's position-dependent code, the tests' too.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -no-pie")
endif()

function(spin_down_program_options target)
  target_compile_options(${target} PRIVATE ${SPIN_DOWN_WARNINGS}
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)
  if(SPIN_DOWN_IPO AND NOT SPIN_DOWN_SANITIZE)
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
  if(NOT SPIN_DOWN_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc
                        -Wl,--as-needed -Wl,--gc-sections)
  endif()
endfunction()

function(spin_down_test_options target)
  target_compile_options(${target} PRIVATE ${SPIN_DOWN_WARNINGS})
endfunction()
