# Each library sees only its own headers and those of the libraries it links. Its include root,
# in the build folder, holds a link to its own source folder (or to the headers named) and
# nothing else, so that including a module it does not depend on fails to compile.
#
#   pindle_include_root(<target> <folder under src> [HEADERS <file>...])
function(pindle_include_root target folder)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "HEADERS")
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    set(link ${root}/${folder})
    file(REMOVE_RECURSE ${root})
    if(arg_HEADERS)
        file(MAKE_DIRECTORY ${link})
        foreach(header IN LISTS arg_HEADERS)
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder}/${header} ${link}/${header} SYMBOLIC)
        endforeach()
    else()
        get_filename_component(parent ${link} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${link} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
