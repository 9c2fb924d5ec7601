# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
#     [-DQUORVEX_QT_DIR=$(scripts/windows-qt.sh)]
# Without Qt the window is left out; with Qt for Windows (QUORVEX_QT_DIR, found or built by
# scripts/windows-qt.sh) the window and its tests are built too. Programs without Qt link the
# compiler's runtime statically, so they run under Wine (or on Windows) with no DLL beside them;
# programs with Qt share the runtime DLLs that the Qt DLLs load (see the top CMakeLists.txt).
# Used by scripts/windows-check.sh and scripts/package-windows.sh.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEX_MINGW_TRIPLET x86_64-w64-mingw32)
# The "posix" flavour of the compiler has the complete C++ thread library.
set(CMAKE_C_COMPILER ${QUORVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for Windows: its folder is searched like the compiler's own root, and its build tools (moc,
# uic, rcc) are the host's, from qt6-base-dev-tools, which has the same Qt version.
set(QUORVEX_QT_DIR "" CACHE PATH "Qt 6 built for 64-bit Windows (scripts/windows-qt.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEX_QT_DIR)
if(QUORVEX_QT_DIR)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QUORVEX_QT_DIR})
  list(APPEND CMAKE_PREFIX_PATH ${QUORVEX_QT_DIR})
  set(QT_HOST_PATH /usr CACHE PATH "")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()

# The host's libraries are built for Linux; the few the project needs come from
# cmake/windows/ instead (header-only ones from the host's headers, GoogleTest from its sources).
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "" FORCE)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "" FORCE)
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "" FORCE)

# Tests are listed when ctest runs (through Wine), not while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
find_program(QUORVEX_WINE NAMES wine wine64)
if(QUORVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEX_WINE})
endif()
