# Who may sign the packages the installer runs, and the throwaway PKI that
# signs the test packages of this build tree.
#
#  - SETUP_PUBLISHER_PIN: the trusted publishers, each the hexadecimal SHA-256
#    of the signer's certificate (DER) or of its public key (DER
#    SubjectPublicKeyInfo), separated by ",". Deployment data: an installer
#    without it would refuse every package, so a release cannot be configured
#    without it. Builds made for tests (SETUP_TRUST_SWITCHES) default it to the
#    test publisher "pinned" of the build tree's PKI.
#  - SETUP_TEST_SIGNING_ROOT: a PEM or DER certificate trusted as a root
#    besides the system's store, compiled in only with SETUP_TRUST_SWITCHES;
#    defaults to the test CA.
#
#  - SETUP_SIGNING_KEY, SETUP_SIGNING_CERT: the PEM key and certificate (its
#    intermediates may follow it in the file) that sign the Windows Setup.exe.
#    Builds made for tests default them to the test publisher "pinned"; a
#    release names the publisher's; without them Setup.exe stays unsigned.
#  - SETUP_TIMESTAMP_URL: the RFC 3161 time-stamp server that countersigns
#    the signature of Setup.exe, so that it stays valid after the signing
#    certificate expires. A release that signs needs it; builds for tests
#    sign without one unless it is given.
#
# The PKI (scripts/test-signing.sh pki) is made once per build tree in
# ${SETUP_TEST_PKI}; setup_sign() signs with it.
set(SETUP_PUBLISHER_PIN "" CACHE STRING "Trusted publishers: hex SHA-256 of certificate or public key, ','-separated")
set(SETUP_TEST_SIGNING_ROOT "" CACHE FILEPATH "Extra trusted root for package signatures (test builds only)")
set(SETUP_SIGNING_KEY "" CACHE FILEPATH "PEM private key that signs Setup.exe (test builds: the test publisher's)")
set(SETUP_SIGNING_CERT "" CACHE FILEPATH "PEM certificate of SETUP_SIGNING_KEY, its intermediates after it")
set(SETUP_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature of Setup.exe (http:// or https://)")

set(SETUP_TEST_PKI ${CMAKE_BINARY_DIR}/test-pki)
# Writes the tiny unsigned program files that tests and packages sign.
find_program(SETUP_PYTHON3 python3 REQUIRED)
set(SETUP_TINY_PROGRAM ${CMAKE_SOURCE_DIR}/tests/signing/tiny_program.py)
set(SETUP_SIGNING_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/test-signing.sh)
execute_process(COMMAND bash ${SETUP_SIGNING_SCRIPT} pki ${SETUP_TEST_PKI} RESULT_VARIABLE _pki_result)
if(NOT _pki_result EQUAL 0)
  message(FATAL_ERROR "could not make the test signing PKI in ${SETUP_TEST_PKI} (openssl missing?)")
endif()
file(SHA256 ${SETUP_TEST_PKI}/pinned.der SETUP_TEST_PUBLISHER_PIN)

set(SETUP_SIGNATURE_DEFINITIONS)
set(_pins "${SETUP_PUBLISHER_PIN}")
if(SETUP_TRUST_SWITCHES)
  if(NOT _pins)
    set(_pins ${SETUP_TEST_PUBLISHER_PIN})
  endif()
  set(_root "${SETUP_TEST_SIGNING_ROOT}")
  if(NOT _root)
    set(_root ${SETUP_TEST_PKI}/ca.der)
  endif()
  # The program gets the root as hexadecimal DER.
  if(_root MATCHES "\\.pem$")
    execute_process(COMMAND openssl x509 -in ${_root} -outform DER -out ${CMAKE_BINARY_DIR}/signing-root.der
      RESULT_VARIABLE _root_result)
    if(NOT _root_result EQUAL 0)
      message(FATAL_ERROR "SETUP_TEST_SIGNING_ROOT: ${_root} is no PEM certificate")
    endif()
    set(_root ${CMAKE_BINARY_DIR}/signing-root.der)
  endif()
  file(READ ${_root} _root_hex HEX)
  list(APPEND SETUP_SIGNATURE_DEFINITIONS SETUP_TEST_SIGNING_ROOT="${_root_hex}")
elseif(SETUP_TEST_SIGNING_ROOT)
  message(WARNING "SETUP_TEST_SIGNING_ROOT is ignored: builds without SETUP_TRUST_SWITCHES trust the system's roots only")
endif()
if(NOT _pins)
  message(FATAL_ERROR "SETUP_PUBLISHER_PIN is empty: the installer would refuse every package. "
    "Give the SHA-256 of the certificate that signs your packages (publisher-example/README.md), "
    "or configure a build for tests with -DSETUP_TRUST_SWITCHES=ON.")
endif()
list(APPEND SETUP_SIGNATURE_DEFINITIONS SETUP_PUBLISHER_PIN="${_pins}")

# setup_sign(<pe|appended> <output> <input> <publisher> [<dependencies>...]):
# a copy of <input> signed by a publisher of the test PKI (pinned, other or
# selfsigned): "pe" with an Authenticode signature, "appended" with a CMS
# signature appended as Linux kernel modules carry it.
function(setup_sign format output input publisher)
  add_custom_command(OUTPUT ${output}
    COMMAND bash ${SETUP_SIGNING_SCRIPT} ${format} ${SETUP_TEST_PKI} ${publisher} ${input} ${output}
    DEPENDS ${input} ${ARGN} ${SETUP_SIGNING_SCRIPT}
    COMMENT "Signing ${output} (${publisher})")
endfunction()

# The key and certificate that sign Setup.exe in this build (empty: none);
# cmake/WindowsResources.cmake makes the signing step of them.
set(SETUP_SIGNING_KEY_USED "${SETUP_SIGNING_KEY}")
set(SETUP_SIGNING_CERT_USED "${SETUP_SIGNING_CERT}")
if(SETUP_TRUST_SWITCHES AND NOT SETUP_SIGNING_KEY_USED)
  set(SETUP_SIGNING_KEY_USED ${SETUP_TEST_PKI}/pinned.key)
  set(SETUP_SIGNING_CERT_USED ${SETUP_TEST_PKI}/pinned.pem)
endif()
if(SETUP_SIGNING_KEY_USED AND NOT (EXISTS "${SETUP_SIGNING_KEY_USED}" AND EXISTS "${SETUP_SIGNING_CERT_USED}"))
  message(FATAL_ERROR "SETUP_SIGNING_KEY and SETUP_SIGNING_CERT must name existing PEM files")
endif()
if(SETUP_TIMESTAMP_URL AND NOT SETUP_TIMESTAMP_URL MATCHES "^https?://[^ \"']+$")
  message(FATAL_ERROR "SETUP_TIMESTAMP_URL must be an http:// or https:// address, not \"${SETUP_TIMESTAMP_URL}\"")
endif()
if(SETUP_SIGNING_KEY_USED AND NOT SETUP_TRUST_SWITCHES AND NOT SETUP_TIMESTAMP_URL)
  message(FATAL_ERROR "SETUP_TIMESTAMP_URL is empty: a release's signature would die with its certificate. "
    "Name the time-stamp server of your certificate's authority.")
endif()
