# Windows (mingw-w64) dependencies, built from Debian source packages by
# scripts/build-win-deps.sh into build/deps/<triple>/{include,lib}.
# Include paths match the Linux build: <curl/curl.h>, <json/json.h>,
# <tinyxml2.h>, <minizip/unzip.h>, <easylogging++.h>, <gtest/gtest.h>.

if(NOT SETUP_WIN_TRIPLE)
  # Toolchain files set it; otherwise derive it from the compiler's target.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
    OUTPUT_VARIABLE SETUP_WIN_TRIPLE OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(SETUP_WIN_DEPS_DIR ${CMAKE_SOURCE_DIR}/build/deps/${SETUP_WIN_TRIPLE}
  CACHE PATH "Windows dependencies built by scripts/build-win-deps.sh")
if(NOT EXISTS ${SETUP_WIN_DEPS_DIR}/lib/libcurl.a)
  message(FATAL_ERROR "Windows dependencies missing in ${SETUP_WIN_DEPS_DIR}: "
    "run scripts/build-win-deps.sh ${SETUP_WIN_TRIPLE}")
endif()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# Windows headers for every target: Windows 7 API level, no min/max macros,
# a lean <windows.h> so that <winsock2.h> (curl) and easylogging++ agree.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX
  WIN32_LEAN_AND_MEAN ELPP_WINSOCK2)
# One self-contained executable: libstdc++, libgcc and winpthread linked in,
# so that Setup.exe imports system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)
# Address-space layout randomisation (with high-entropy addresses for
# x86_64) and no-execute data: GNU ld's defaults since 2.36, stated so that
# no linker drops them; scripts/check-pe-imports.sh checks the programs.
add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
if(SETUP_WIN_TRIPLE MATCHES "^x86_64")
  add_link_options(-Wl,--high-entropy-va)
endif()
# Only what is reached is linked: every function and datum in a section of
# its own, and the linker drops the sections nothing refers to.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
# On i686 GNU ld keeps every unwind record and, with it, its function:
# scripts/link-pe-gc.sh lets the collection drop the unused ones.
if(SETUP_WIN_TRIPLE MATCHES "^i686")
  set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_SOURCE_DIR}/scripts/link-pe-gc.sh)
  set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_SOURCE_DIR}/scripts/link-pe-gc.sh)
endif()

# easylogging++ is shipped as source by Debian (libeasyloggingpp-dev); copy
# it out of /usr/include so that the cross compiler never sees glibc headers.
find_file(SETUP_ELPP_HEADER easylogging++.h PATHS /usr/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT SETUP_ELPP_HEADER)
  message(FATAL_ERROR "easylogging++.h not found: apt-get install libeasyloggingpp-dev")
endif()
get_filename_component(_elpp_dir ${SETUP_ELPP_HEADER} DIRECTORY)
set(ELPP_INCLUDE_DIR ${CMAKE_BINARY_DIR}/elpp)
file(COPY ${_elpp_dir}/easylogging++.h ${_elpp_dir}/easylogging++.cc
  DESTINATION ${ELPP_INCLUDE_DIR})
set(ELPP_SOURCE ${ELPP_INCLUDE_DIR}/easylogging++.cc)

# setup_import_lib(<name> <archive> [DEFS <definitions>...] [LIBS <link libraries>...])
function(setup_import_lib name file)
  cmake_parse_arguments(ARG "" "" "DEFS;LIBS" ${ARGN})
  add_library(windeps::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(windeps::${name} PROPERTIES
    IMPORTED_LOCATION ${file}
    INTERFACE_INCLUDE_DIRECTORIES ${SETUP_WIN_DEPS_DIR}/include)
  if(ARG_DEFS)
    set_property(TARGET windeps::${name} PROPERTY INTERFACE_COMPILE_DEFINITIONS ${ARG_DEFS})
  endif()
  if(ARG_LIBS)
    set_property(TARGET windeps::${name} PROPERTY INTERFACE_LINK_LIBRARIES ${ARG_LIBS})
  endif()
endfunction()

find_library(SETUP_ZLIB_LIBRARY NAMES libz.a z REQUIRED)

include(${CMAKE_CURRENT_LIST_DIR}/DelayLoad.cmake)
# The system DLLs off the KnownDLLs list are linked through delay-load
# libraries only (see DelayLoad.cmake); libcurl's Schannel uses two of them.
setup_delay_libs(SETUP_WIN_CURL_DELAYED crypt32 bcrypt)
setup_delay_libs(SETUP_WIN_DELAYED gdiplus usp10 wintrust iphlpapi version sensapi urlmon oleacc)
list(APPEND SETUP_WIN_DELAYED ${SETUP_WIN_CURL_DELAYED})

set(SETUP_WIN_SYSTEM_LIBS
  ${SETUP_WIN_DELAYED} ole32 oleaut32 uuid shlwapi psapi
  comctl32 urlmon shell32 user32 gdi32 comdlg32
  ws2_32 secur32 wldap32 advapi32 normaliz kernel32)

setup_import_lib(curl ${SETUP_WIN_DEPS_DIR}/lib/libcurl.a
  DEFS CURL_STATICLIB
  LIBS ${SETUP_ZLIB_LIBRARY} ws2_32 ${SETUP_WIN_CURL_DELAYED} secur32 wldap32 advapi32 normaliz)
setup_import_lib(jsoncpp ${SETUP_WIN_DEPS_DIR}/lib/libjsoncpp.a)
setup_import_lib(tinyxml2 ${SETUP_WIN_DEPS_DIR}/lib/libtinyxml2.a)
setup_import_lib(minizip ${SETUP_WIN_DEPS_DIR}/lib/libminizip.a
  LIBS ${SETUP_ZLIB_LIBRARY})

set(SETUP_DEP_LIBS windeps::curl windeps::jsoncpp windeps::tinyxml2
  windeps::minizip ${SETUP_ZLIB_LIBRARY} ${SETUP_WIN_SYSTEM_LIBS})

if(SETUP_BUILD_TESTS)
  setup_import_lib(gtest ${SETUP_WIN_DEPS_DIR}/lib/libgtest.a
    LIBS Threads::Threads)
  setup_import_lib(gmock ${SETUP_WIN_DEPS_DIR}/lib/libgmock.a
    LIBS windeps::gtest)
  setup_import_lib(gtest_main ${SETUP_WIN_DEPS_DIR}/lib/libgtest_main.a
    LIBS windeps::gtest)
  set(SETUP_GTEST_LIBS windeps::gtest windeps::gmock)
  set(SETUP_GTEST_MAIN windeps::gtest_main)
endif()
