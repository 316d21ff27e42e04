# Checks that the simulator's layers see only what they may (run by ctest):
#   cmake -DCOMPILER=<c++> -DSOURCE=<repo> -DVIEWS=<dir> -DLAYERS=<list> -P check_layers.cmake
# LAYERS holds "layer:header:seen,seen..." entries: each layer is compiled
# (preprocessed) with the include directories its library really has (the
# file VIEWS/<layer>.includes) against one header of every layer; the
# header must be found for the layer itself and the layers it may see, and
# must not be found for any other. And no source under simulator/ or
# protocols/ may include by a relative path ("../x.h"), which would reach
# past the include directories.
cmake_minimum_required(VERSION 3.20)

set(failures "")
set(work ${VIEWS}/probe)
file(MAKE_DIRECTORY ${work})

foreach(entry IN LISTS LAYERS)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 layer)
    list(GET parts 1 header)
    set(header_of_${layer} ${header})
    list(APPEND all ${layer})
endforeach()

foreach(entry IN LISTS LAYERS)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 layer)
    list(LENGTH parts n)
    set(seen "")
    if(n GREATER 2)
        list(GET parts 2 seen)
        string(REPLACE "," ";" seen "${seen}")
    endif()
    file(STRINGS ${VIEWS}/${layer}.includes directories)
    set(flags "")
    foreach(d IN LISTS directories)
        list(APPEND flags "-I${d}")
    endforeach()
    foreach(other IN LISTS all)
        file(WRITE ${work}/${layer}_${other}.cpp "#include <simulator/${other}/${header_of_${other}}>\n")
        execute_process(COMMAND ${COMPILER} -std=c++17 -E ${flags} ${work}/${layer}_${other}.cpp
                        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
        if(other STREQUAL layer OR other IN_LIST seen)
            if(NOT result EQUAL 0)
                string(APPEND failures "${layer} cannot include ${other}, which it may: ${error}\n")
            endif()
        elseif(result EQUAL 0)
            string(APPEND failures "${layer} can include ${other}, which it may not\n")
        endif()
    endforeach()
endforeach()

file(GLOB_RECURSE sources ${SOURCE}/simulator/*.h ${SOURCE}/simulator/*.cpp ${SOURCE}/protocols/*.h
     ${SOURCE}/protocols/*.cpp)
foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "^#include \"[^\"]*/")
    foreach(line IN LISTS lines)
        string(APPEND failures "${source}: a relative include reaches past the layers: ${line}\n")
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "${failures}")
endif()
list(LENGTH all count)
message(STATUS "${count} layers: each sees itself and what it may, and nothing else")
