# The installer stand-in (tools/standin) and the packages made of it, signed
# by the pinned publisher of the build tree's test PKI, in bin/packages/:
#  - quenlo_setup.exe: the stand-in (Authenticode on Windows; on Linux an ELF
#    program with an appended CMS signature under the same name);
#  - quenlo_broken.exe: a validly signed package that is no program this
#    system runs (an ARM PE image on Windows, a bare ELF header on Linux).
file(GLOB _standin_backend CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${SETUP_BACKEND}/*.cpp)
add_executable(standin ${CMAKE_CURRENT_LIST_DIR}/Standin.cpp ${_standin_backend})
target_link_libraries(standin PRIVATE setupcore)
target_include_directories(standin PRIVATE ${CMAKE_SOURCE_DIR})
if(WIN32)
  set_target_properties(standin PROPERTIES WIN32_EXECUTABLE ON)
endif()

set(SETUP_PACKAGES_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/packages)
file(MAKE_DIRECTORY ${SETUP_PACKAGES_DIR})
set(_broken_kind elf)
set(_format appended)
if(WIN32)
  set(_broken_kind foreign-pe)
  set(_format pe)
endif()
set(_broken_input ${CMAKE_BINARY_DIR}/standin/broken.unsigned)
add_custom_command(OUTPUT ${_broken_input}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/standin
  COMMAND ${SETUP_PYTHON3} ${SETUP_TINY_PROGRAM} ${_broken_kind} ${_broken_input}
  DEPENDS ${SETUP_TINY_PROGRAM})
setup_sign(${_format} ${SETUP_PACKAGES_DIR}/quenlo_setup.exe $<TARGET_FILE:standin> pinned standin)
setup_sign(${_format} ${SETUP_PACKAGES_DIR}/quenlo_broken.exe ${_broken_input} pinned)
add_custom_target(packages ALL DEPENDS ${SETUP_PACKAGES_DIR}/quenlo_setup.exe ${SETUP_PACKAGES_DIR}/quenlo_broken.exe)
