# Writes the module-definition file of the driver DLL from the declaration
# tables, for the linker (the DLL's export table and its MinGW import
# library) and for the Microsoft-format import library.
# cmake -DPYTHON=<python3> -DTABLES=<zor_tables.py> -DINCLUDE=<include dir> -DOUT=<file.def> -P export_def.cmake
execute_process(COMMAND ${PYTHON} ${TABLES} names ${INCLUDE}
    OUTPUT_VARIABLE names RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "export_def: ${TABLES} names failed")
endif()
string(STRIP "${names}" names)
string(REGEX MATCHALL "[^\n]+" list "${names}")
list(LENGTH list count)
list(FILTER list EXCLUDE REGEX "^ZOR_[A-Za-z0-9_]+$")
if(count EQUAL 0 OR list)
    message(FATAL_ERROR "export_def: expected ZOR_* names from the tables, got ${count} names, odd ones: ${list}")
endif()
string(REPLACE "\n" "\n    " body "${names}")
# Plain names, no ordinals: callers bind by name, and a name's ordinal may
# change between releases.
file(WRITE ${OUT}.new "LIBRARY ZOR_x64.dll\nEXPORTS\n    ${body}\n")
# Touched only when it changes, so the driver relinks only then.
configure_file(${OUT}.new ${OUT} COPYONLY)
file(REMOVE ${OUT}.new)
