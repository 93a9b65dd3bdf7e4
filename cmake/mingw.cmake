# Cross-compiling for Windows with mingw-w64 (posix threads, as GoogleTest needs).
# BYTEWREN_ARCH: i686 (the 32-bit product, default) or x86_64 (for test machines whose
# Wine cannot run 32-bit code).
set(BYTEWREN_ARCH "i686" CACHE STRING "mingw-w64 target: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BYTEWREN_ARCH})
set(_triple ${BYTEWREN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
