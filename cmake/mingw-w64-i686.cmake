# Cross-build for 32-bit Windows, as the conversion library is specified:
# __stdcall exports with undecorated names.
set(TORVANE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
