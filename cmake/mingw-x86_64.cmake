# Toolchain file: 64-bit Windows (x64) with Debian's mingw-w64 (posix threads flavour), for hosts
# that run 64-bit processes (a 64-bit browser tab, a 64-bit container).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
