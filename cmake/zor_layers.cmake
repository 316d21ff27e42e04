# Header views: a library's consumers include its headers by the folder's
# path in the repository (<protocols/hislip.h>, <simulator/scpi/parser.h>)
# and reach no other folder through it. Each view is a directory of the
# build holding one link to the library's folder, so a target sees exactly
# the folders of what it links: an include of a layer it does not link
# fails to compile.
function(zor_header_view target folder)
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${folder})
    set(view ${CMAKE_BINARY_DIR}/header-views/${target})
    get_filename_component(parent ${view}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${view}/${path})
        file(CREATE_LINK ${folder} ${view}/${path} SYMBOLIC RESULT failed)
        if(failed)
            message(FATAL_ERROR "cannot link ${view}/${path} to ${folder}: ${failed}")
        endif()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${view})
    else()
        target_include_directories(${target} PUBLIC ${view})
    endif()
endfunction()
