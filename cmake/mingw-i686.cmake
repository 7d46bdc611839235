# Cross build for 32-bit Windows with mingw-w64 (posix threads), run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KAVREL_MINGW_TRIPLE i686-w64-mingw32)
set(KAVREL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
