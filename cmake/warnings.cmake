# Project-wide compiler settings, applied per target through pindle_apply_warnings().
add_library(pindle_warnings INTERFACE)
target_compile_options(pindle_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
if(PINDLE_WERROR)
    target_compile_options(pindle_warnings INTERFACE -Werror)
endif()
# Hardening, as distributions build: checked string and memory calls where the compiler knows the
# buffer sizes, and relocations resolved at start then made read-only. _FORTIFY_SOURCE needs the
# optimiser, and the sanitizers (fuzzing included) do their own checking, so it is left out of
# those builds.
if(NOT PINDLE_SANITIZE AND NOT PINDLE_FUZZ)
    target_compile_options(pindle_warnings INTERFACE
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
target_link_options(pindle_warnings INTERFACE LINKER:-z,relro LINKER:-z,now)
if(PINDLE_SANITIZE)
    target_compile_options(pindle_warnings INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                     -fno-omit-frame-pointer)
    target_link_options(pindle_warnings INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

function(pindle_apply_warnings target)
    target_link_libraries(${target} PRIVATE pindle_warnings)
endfunction()
