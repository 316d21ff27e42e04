# Windows builds: the driver's export definition and version resource, the
# import library for Microsoft's linker, and what the Windows installer and
# zip carry beyond the common install rules. Included from install.cmake.

# --- The export definition, made from the declaration tables. The linker
# takes it, so the DLL's export table and its MinGW import library come from
# the tables; a name the code exports but the tables lack still leaves the
# DLL and fails the import-library test. Made at configure time too, so it
# exists when the driver's link line is generated.
set(ZOR_EXPORT_DEF ${CMAKE_BINARY_DIR}/generated/ZOR_x64.def)
set(zor_export_def_command ${CMAKE_COMMAND} -DPYTHON=${Python3_EXECUTABLE} -DTABLES=${ZOR_TABLES_SCRIPT}
    -DINCLUDE=${PROJECT_SOURCE_DIR}/include -DOUT=${ZOR_EXPORT_DEF} -P ${CMAKE_CURRENT_LIST_DIR}/export_def.cmake)
execute_process(COMMAND ${zor_export_def_command} COMMAND_ERROR_IS_FATAL ANY)
add_custom_command(OUTPUT ${ZOR_EXPORT_DEF}
    COMMAND ${zor_export_def_command}
    DEPENDS ${ZOR_TABLE_FILES} ${ZOR_TABLES_SCRIPT} ${CMAKE_CURRENT_LIST_DIR}/export_def.cmake
    COMMENT "Writing the export definition of ZOR_x64.dll from the tables"
    VERBATIM)
add_custom_target(zor_export_def DEPENDS ${ZOR_EXPORT_DEF})

configure_file(${CMAKE_CURRENT_LIST_DIR}/ZOR_x64.rc.in ${CMAKE_BINARY_DIR}/generated/ZOR_x64.rc @ONLY)
target_sources(ZOR_x64 PRIVATE ${ZOR_EXPORT_DEF} ${CMAKE_BINARY_DIR}/generated/ZOR_x64.rc)
add_dependencies(ZOR_x64 zor_export_def)

# --- The import library for Microsoft's linker: the short import format
# that Microsoft's own library tool writes (one small member per name), made
# by LLVM's dlltool from the same definition.
find_program(ZOR_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
    DOC "LLVM's dlltool, which writes import libraries for Microsoft's linker")
if(NOT ZOR_LLVM_DLLTOOL)
    message(FATAL_ERROR "llvm-dlltool not found (Debian package llvm): it writes ZOR_x64.lib for Microsoft's linker")
endif()
set(ZOR_MSVC_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/lib/msvc/ZOR_x64.lib)
add_custom_command(OUTPUT ${ZOR_MSVC_IMPORT_LIBRARY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib/msvc
    COMMAND ${ZOR_LLVM_DLLTOOL} -m i386:x86-64 -d ${ZOR_EXPORT_DEF} -l ${ZOR_MSVC_IMPORT_LIBRARY}
    DEPENDS ${ZOR_EXPORT_DEF}
    COMMENT "Writing ZOR_x64.lib for Microsoft's linker"
    VERBATIM)
add_custom_target(zor_msvc_import_library ALL DEPENDS ${ZOR_MSVC_IMPORT_LIBRARY})
# Read through a generator expression by the tests, whose folder is
# configured before this file.
set_target_properties(zor_msvc_import_library PROPERTIES ZOR_IMPORT_LIBRARY ${ZOR_MSVC_IMPORT_LIBRARY})
