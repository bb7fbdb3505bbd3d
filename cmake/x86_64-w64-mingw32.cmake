# Cross build for 64-bit Windows with mingw-w64. Test programs run through wine64.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(MINGW_PROCESSOR x86_64)
set(MINGW_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
