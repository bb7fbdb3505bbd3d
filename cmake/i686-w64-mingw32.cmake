# Cross build for 32-bit Windows with mingw-w64. Test programs run through the 32-bit Wine.
set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_PROCESSOR i686)
set(MINGW_WINE /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
