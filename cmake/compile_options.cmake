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

function(spin_down_program_options target)
  target_compile_options(${target} PRIVATE ${SPIN_DOWN_WARNINGS}
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)
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
