# Debian's packages for the native build.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(OpenSSL REQUIRED)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
# The toolkit's picture decoder on Linux (PNG, and BMP through stb_image);
# Windows builds decode without them.
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
# The toolkit's line breaks and bidirectional order on Linux (Windows builds
# ask Uniscribe).
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc)
find_path(ELPP_INCLUDE_DIR easylogging++.h REQUIRED)
set(ELPP_SOURCE ${ELPP_INCLUDE_DIR}/easylogging++.cc)
set(SETUP_DEP_LIBS PkgConfig::CURL PkgConfig::JSONCPP PkgConfig::TINYXML2
  PkgConfig::MINIZIP PkgConfig::PNG PkgConfig::STB PkgConfig::ICU OpenSSL::SSL OpenSSL::Crypto ${CMAKE_DL_LIBS})
if(SETUP_BUILD_TESTS)
  find_package(GTest REQUIRED)
  set(SETUP_GTEST_LIBS GTest::gtest GTest::gmock)
  set(SETUP_GTEST_MAIN GTest::gtest_main)
endif()
