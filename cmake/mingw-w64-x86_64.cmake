# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# which std::thread and the sleeps of the timing code need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# CLI11 and nlohmann-json are header-only packages of the build machine; these
# package files use their headers without the rest of /usr/include.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross)

# Marks the cross-build; the Qt window is not built for it.
set(WIN32_CROSS ON)

# The cross-built tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
