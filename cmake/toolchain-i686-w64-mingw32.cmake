# Windows i686 target.
set(SETUP_WIN_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
