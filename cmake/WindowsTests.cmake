# Windows registration of the test program (included from tests/CMakeLists.txt
# after setup_tests is defined).
#  - setup_tests carries its own resources: the skin archive, a VERSIONINFO
#    (the version-resource tests read the test program itself) and an
#    asInvoker manifest instead of Setup.exe's requireAdministrator one.
#  - Tests run with scripts/test-windows.sh (wine64 on the x86_64 build); for
#    ctest, x86_64 builds register the program under wine64 when it exists.
get_target_property(_srcs setup_tests SOURCES)
list(REMOVE_ITEM _srcs "${SETUP_RESOURCE_OBJECTS}")
list(APPEND _srcs "${SETUP_TEST_RESOURCE_OBJECTS}")
set_target_properties(setup_tests PROPERTIES SOURCES "${_srcs}")
add_dependencies(setup_tests Setup)

if(SETUP_WIN_TRIPLE MATCHES "^x86_64")
  find_program(SETUP_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(SETUP_WINE64)
    add_test(NAME setup_tests_wine
      COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
        WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
        ${SETUP_WINE64} $<TARGET_FILE:setup_tests>)
    set_tests_properties(setup_tests_wine PROPERTIES TIMEOUT 600)
  endif()
endif()

# crashprobe.exe crashes on purpose under the installer's crash handling
# (tests/win/Win32CrashTest.cpp).
add_executable(crashprobe ${CMAKE_SOURCE_DIR}/tests/win/probe/CrashProbe.cpp)
target_link_libraries(crashprobe PRIVATE setupcore)
target_link_options(crashprobe PRIVATE -municode)
add_dependencies(setup_tests crashprobe)
