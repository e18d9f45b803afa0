# Files for the signature tests, made at build time in bin/signing/ beside the
# test programs: a tiny PE image unsigned and signed by each publisher of the
# build tree's test PKI (pinned, other, selfsigned); on Linux also a tiny ELF
# file with the same appended signatures; and pinned.keypin, the pinned
# publisher's public-key hash. Tests derive the tampered,
# truncated and garbled copies themselves.
set(SIGNING_FIXTURES_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/signing)
set(_fixtures)
set(_kinds pe)
set(_format_pe pe)
set(_format_elf appended)
if(NOT WIN32)
  list(APPEND _kinds elf)
endif()
foreach(kind ${_kinds})
  set(unsigned ${SIGNING_FIXTURES_DIR}/unsigned.${kind})
  add_custom_command(OUTPUT ${unsigned}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SIGNING_FIXTURES_DIR}
    COMMAND ${SETUP_PYTHON3} ${SETUP_TINY_PROGRAM} ${kind} ${unsigned}
    DEPENDS ${SETUP_TINY_PROGRAM})
  list(APPEND _fixtures ${unsigned})
  foreach(publisher pinned other selfsigned)
    set(signed ${SIGNING_FIXTURES_DIR}/${publisher}.${kind})
    setup_sign(${_format_${kind}} ${signed} ${unsigned} ${publisher})
    list(APPEND _fixtures ${signed})
  endforeach()
endforeach()
configure_file(${SETUP_TEST_PKI}/pinned.keypin ${SIGNING_FIXTURES_DIR}/pinned.keypin COPYONLY)
add_custom_target(signing_fixtures ALL DEPENDS ${_fixtures})
