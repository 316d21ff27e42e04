# Cross-compiles for 64-bit Windows with MinGW-w64 (posix threads flavour,
# so std::thread and std::mutex work) and runs the programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZOR_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")

find_program(CMAKE_C_COMPILER NAMES ${ZOR_MINGW_PREFIX}-gcc-posix ${ZOR_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZOR_MINGW_PREFIX}-g++-posix ${ZOR_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZOR_MINGW_PREFIX}-windres windres)
find_program(CMAKE_AR NAMES ${ZOR_MINGW_PREFIX}-gcc-ar-posix ${ZOR_MINGW_PREFIX}-ar)
find_program(CMAKE_RANLIB NAMES ${ZOR_MINGW_PREFIX}-gcc-ranlib-posix ${ZOR_MINGW_PREFIX}-ranlib)

# Headers and libraries come from the cross sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW printf family instead of the legacy runtime's: two-digit
# exponents for %e like everywhere else, and long double that formats.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

# Runs test programs (and gtest discovery) under Wine. The plain 64-bit
# loader avoids the wrapper's 32-bit hints; override with -DZOR_WINE=... or
# the ZOR_WINE environment variable.
if(NOT ZOR_WINE AND DEFINED ENV{ZOR_WINE})
    set(ZOR_WINE "$ENV{ZOR_WINE}" CACHE FILEPATH "Program that runs Windows executables on the build machine")
endif()
find_program(ZOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine
    DOC "Program that runs Windows executables on the build machine")
if(ZOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${ZOR_WINE}")
endif()
