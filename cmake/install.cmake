# Installation, the exported CMake package, the pkg-config file, the Debian
# package and (Windows) the installer and the portable zip.
#
# Components: "driver" (library, headers, import libraries, CMake and
# pkg-config files), "standins" (the bundled session engine and VISA,
# optional: a machine with its own uses those; on Windows vna-sim.exe too)
# and "tools" (vna-sim, zor-measure); on Windows also "examples", "docs" and
# "python". An installed driver finds the stand-ins in its private folder
# zor_x64/ beside it. There they shadow nothing when the driver's folder is
# on the search path (Windows: bin\zor_x64\).
include(CMakePackageConfigHelpers)

set(ZOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZOR)
if(WIN32)
    set(ZOR_STANDIN_DIR ${CMAKE_INSTALL_BINDIR}/zor_x64)
    # One folder of import libraries per toolchain.
    set(ZOR_LINK_DIR ${CMAKE_INSTALL_LIBDIR}/mingw)
    set(ZOR_SIMULATOR_COMPONENT standins)
    include(${CMAKE_CURRENT_LIST_DIR}/windows/windows.cmake)
else()
    set(ZOR_STANDIN_DIR ${CMAKE_INSTALL_LIBDIR}/zor_x64)
    set(ZOR_LINK_DIR ${CMAKE_INSTALL_LIBDIR})
    set(ZOR_SIMULATOR_COMPONENT tools)
endif()

add_library(ZOR::ZOR ALIAS ZOR_x64)

install(TARGETS ZOR_x64 EXPORT ZORTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT driver
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT driver
    ARCHIVE DESTINATION ${ZOR_LINK_DIR} COMPONENT driver)
install(FILES ${ZOR_GENERATED_INCLUDE}/ZOR.h ${PROJECT_SOURCE_DIR}/include/zor_visatype.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT driver)
install(EXPORT ZORTargets NAMESPACE ZOR:: DESTINATION ${ZOR_CMAKE_DIR} COMPONENT driver)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZORConfig.cmake.in
    ${CMAKE_BINARY_DIR}/package/ZORConfig.cmake INSTALL_DESTINATION ${ZOR_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/ZORConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/ZORConfig.cmake ${CMAKE_BINARY_DIR}/package/ZORConfigVersion.cmake
    DESTINATION ${ZOR_CMAKE_DIR} COMPONENT driver)

# The pkg-config file finds its prefix from where it lies, so an unpacked
# package or a moved tree works as well as the install prefix.
set(ZOR_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZOR_PC_TO_PREFIX /root/${ZOR_PKGCONFIG_DIR} /root)
string(REGEX REPLACE "/$" "" ZOR_PC_TO_PREFIX "${ZOR_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zor.pc.in ${CMAKE_BINARY_DIR}/package/zor.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/zor.pc DESTINATION ${ZOR_PKGCONFIG_DIR} COMPONENT driver)

install(TARGETS zor_visa zor_ivi_engine
    RUNTIME DESTINATION ${ZOR_STANDIN_DIR} COMPONENT standins
    LIBRARY DESTINATION ${ZOR_STANDIN_DIR} COMPONENT standins)
# The simulator's renderer beside the VISA library that loads it for the
# in-process analyzers' screen dumps (Linux builds, where cairo is).
if(TARGET zorsim_render_module)
    install(TARGETS zorsim_render_module LIBRARY DESTINATION ${ZOR_STANDIN_DIR} COMPONENT standins)
endif()

foreach(program vna-sim zor-measure)
    if(TARGET ${program})
        # Installed programs find the driver in the library folder; in the
        # build tree it sits beside them.
        set_property(TARGET ${program} PROPERTY INSTALL_RPATH "$ORIGIN;$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    endif()
endforeach()
if(TARGET vna-sim)
    install(TARGETS vna-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${ZOR_SIMULATOR_COMPONENT})
endif()
if(TARGET zor-measure)
    install(TARGETS zor-measure RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

if(WIN32)
    install(FILES ${ZOR_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR}/msvc COMPONENT driver)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION doc COMPONENT driver)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION doc COMPONENT docs)
    # doc\docs\, so that the README's links into docs/ hold.
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION doc/docs COMPONENT docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples COMPONENT examples
        FILES_MATCHING PATTERN "*.c" PATTERN "*.h")
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/ DESTINATION python COMPONENT python
        FILES_MATCHING PATTERN "*.py" PATTERN "pyproject.toml" PATTERN "README.md"
        PATTERN "tests" EXCLUDE PATTERN "*.egg-info" EXCLUDE PATTERN "__pycache__" EXCLUDE)
else()
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT driver)
endif()

set(CPACK_PACKAGE_VENDOR "ZOR_x64 developers")
set(CPACK_PACKAGE_CONTACT "ZOR_x64 developers <zor-x64@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Driver library for the ZOR two-port vector network analyzers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
    # cpack -G "NSIS;ZIP" (scripts/package-windows): the installer and the
    # portable zip, into package/.
    include(${CMAKE_CURRENT_LIST_DIR}/windows/package.cmake)
else()
    # cpack -G DEB: one package with every component.
    set(CPACK_PACKAGE_NAME "zor-x64")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
    set(CPACK_GENERATOR DEB)
endif()
include(CPack)
