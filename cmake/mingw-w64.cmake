# The part of the two mingw-w64 cross builds (posix threads variant) that differs only in
# the target: the including toolchain file sets MINGW_TRIPLE (the compiler prefix),
# MINGW_PROCESSOR and MINGW_WINE (the Wine loader that runs the test programs). The
# loader is named itself rather than the "wine" wrapper, which picks the 32-bit loader
# whenever it is installed, also where the kernel cannot run it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MINGW_WINE})
