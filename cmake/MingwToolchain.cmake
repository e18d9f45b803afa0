# Cross-compiling for Windows with Debian's mingw-w64 (-posix flavour: the
# -win32 flavour of GCC 12 has no std::thread). The per-target toolchain
# files set SETUP_WIN_TRIPLE and CMAKE_SYSTEM_PROCESSOR, then include this.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${SETUP_WIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SETUP_WIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${SETUP_WIN_TRIPLE}-windres)

# Libraries and headers of the target only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${SETUP_WIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
