# The Windows installer and the portable zip (cpack -G "NSIS;ZIP" in a
# Windows build folder; scripts/package-windows runs it). Both carry the
# install tree's layout. NSIS rather than an MSI: Debian's NSIS builds a
# 64-bit installer with a components page, the usual /S and /D= switches and
# a version resource of its own; wixl's MSIs have no dialogs, so an
# interactive install could not choose components. CPack fills in
# NSIS.template.in beside this file.
set(CPACK_PACKAGE_NAME "ZOR_x64")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "ZOR_x64")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "ZOR_x64")
set(CPACK_NSIS_PACKAGE_NAME "ZOR_x64 ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "ZOR_x64 ${PROJECT_VERSION}")
set(CPACK_NSIS_UNINSTALL_NAME "Uninstall")
# Without their debugging information: a fifth of the size.
set(CPACK_STRIP_FILES ON)
# A version resource takes four numbers.
set(CPACK_ZOR_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

# The installer offers the components; the zip holds all of them.
set(CPACK_NSIS_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL driver standins)
if(TARGET zor-measure)
    list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
list(APPEND CPACK_COMPONENTS_ALL examples docs python)

set(CPACK_COMPONENT_DRIVER_DISPLAY_NAME "Driver")
set(CPACK_COMPONENT_DRIVER_DESCRIPTION
    "ZOR_x64.dll, its header, import libraries for MinGW and for Microsoft's linker, the CMake package.")
set(CPACK_COMPONENT_DRIVER_REQUIRED ON)
set(CPACK_COMPONENT_STANDINS_DISPLAY_NAME "Stand-ins: VISA, session engine, vna-sim")
set(CPACK_COMPONENT_STANDINS_DESCRIPTION
    "The bundled VISA and session engine (bin\\zor_x64, used by this driver only) and vna-sim.exe, the simulated analyzer. Off by default on a machine with its own VISA and session engine.")
set(CPACK_COMPONENT_TOOLS_DISPLAY_NAME "zor-measure")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "zor-measure.exe: measures an analyzer's two-port into Touchstone and CSV files.")
set(CPACK_COMPONENT_EXAMPLES_DISPLAY_NAME "Examples")
set(CPACK_COMPONENT_EXAMPLES_DESCRIPTION "C sources of short, complete programs, one task each.")
set(CPACK_COMPONENT_DOCS_DISPLAY_NAME "Documentation")
set(CPACK_COMPONENT_DOCS_DESCRIPTION "The README, the change log and the guides.")
set(CPACK_COMPONENT_PYTHON_DISPLAY_NAME "Python package")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "The zor package (ctypes and numpy), which finds this driver by itself.")
