# Installation, the exported CMake package, the pkg-config file and the
# Debian package.
#
# Components: "driver" (library, headers, CMake and pkg-config files),
# "standins" (the bundled session engine and VISA, optional: a machine with
# its own uses those) and "tools" (vna-sim, zor-measure). An installed driver
# finds the stand-ins in its private folder zor_x64/ beside it (Windows:
# beside the DLL).
include(CMakePackageConfigHelpers)

set(ZOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZOR)
if(WIN32)
    set(ZOR_STANDIN_DIR ${CMAKE_INSTALL_BINDIR})
else()
    set(ZOR_STANDIN_DIR ${CMAKE_INSTALL_LIBDIR}/zor_x64)
endif()

add_library(ZOR::ZOR ALIAS ZOR_x64)

install(TARGETS ZOR_x64 EXPORT ZORTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT driver
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT driver
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT driver)
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

set(ZOR_PROGRAMS)
foreach(program vna-sim zor-measure)
    if(TARGET ${program})
        list(APPEND ZOR_PROGRAMS ${program})
        # Installed programs find the driver in the library folder; in the
        # build tree it sits beside them.
        set_property(TARGET ${program} PROPERTY INSTALL_RPATH "$ORIGIN;$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    endif()
endforeach()
install(TARGETS ${ZOR_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT driver)

# cpack -G DEB: one package with every component.
set(CPACK_PACKAGE_NAME "zor-x64")
set(CPACK_PACKAGE_VENDOR "ZOR_x64 developers")
set(CPACK_PACKAGE_CONTACT "ZOR_x64 developers <zor-x64@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Driver library for the ZOR two-port vector network analyzers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
set(CPACK_GENERATOR DEB)
include(CPack)
