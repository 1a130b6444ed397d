# Project-wide compiler settings, applied per target through pindle_apply_warnings().
add_library(pindle_warnings INTERFACE)
target_compile_options(pindle_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
if(PINDLE_WERROR)
    target_compile_options(pindle_warnings INTERFACE -Werror)
endif()
if(PINDLE_SANITIZE)
    target_compile_options(pindle_warnings INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                     -fno-omit-frame-pointer)
    target_link_options(pindle_warnings INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

function(pindle_apply_warnings target)
    target_link_libraries(${target} PRIVATE pindle_warnings)
endfunction()
