# Delay-load import libraries for the system DLLs that are not on Windows'
# KnownDLLs list (scripts/check-pe-imports.sh has the list). The program
# loads them on first use, after its entry (SetupEntry.cpp) has limited the
# DLL search to System32, so that a DLL of the same name dropped beside
# Setup.exe in the Downloads folder is never loaded. Made at configure time
# by scripts/make-delaylib.sh from the ordinary import libraries.

# setup_delay_lib(<variable> <dll base name> <import library>): sets
# <variable> to the delay-load library of <dll base name>.dll.
function(setup_delay_lib variable name import_lib)
  set(script ${CMAKE_SOURCE_DIR}/scripts/make-delaylib.sh)
  set(lib ${CMAKE_BINARY_DIR}/delayload/lib${name}_delay.a)
  if(NOT EXISTS ${lib} OR ${import_lib} IS_NEWER_THAN ${lib} OR ${script} IS_NEWER_THAN ${lib})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delayload)
    execute_process(COMMAND ${script} ${SETUP_WIN_TRIPLE} ${import_lib} ${name}.dll ${lib}
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Could not make the delay-load library of ${name}.dll")
    endif()
  endif()
  set(${variable} ${lib} PARENT_SCOPE)
endfunction()

# setup_delay_libs(<variable> <dll base name>...): the delay-load library of
# each DLL, followed by its import library (mingw-w64's; for i686 sensapi the
# one scripts/build-win-deps.sh makes) for the data that some define in
# plain objects (gdiplus' GUIDs and caches). The delay-load library comes
# first, so it provides every function; a function it lacked would be
# imported statically, which scripts/check-pe-imports.sh reports.
function(setup_delay_libs variable)
  set(libs)
  foreach(name IN LISTS ARGN)
    if(EXISTS ${SETUP_WIN_DEPS_DIR}/lib/lib${name}.a)
      set(import_lib ${SETUP_WIN_DEPS_DIR}/lib/lib${name}.a)
    else()
      find_library(import_lib_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
      set(import_lib ${import_lib_${name}})
    endif()
    setup_delay_lib(lib ${name} ${import_lib})
    list(APPEND libs ${lib} ${import_lib})
  endforeach()
  set(${variable} ${libs} PARENT_SCOPE)
endfunction()
