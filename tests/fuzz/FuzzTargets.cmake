# Fuzz targets, added to the project by scripts/fuzz-configure.sh through
# CMAKE_PROJECT_INCLUDE (the regular build does not know them). They are
# made before the top level turns the warnings on, so they turn them on here.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Warnings.cmake)
add_executable(configure_fuzz ${CMAKE_CURRENT_LIST_DIR}/ConfigureFuzz.cpp)
target_link_libraries(configure_fuzz PRIVATE setupcore)
target_link_options(configure_fuzz PRIVATE -fsanitize=fuzzer)

add_executable(signature_fuzz ${CMAKE_CURRENT_LIST_DIR}/SignatureFuzz.cpp)
target_link_libraries(signature_fuzz PRIVATE setupcore)
target_link_options(signature_fuzz PRIVATE -fsanitize=fuzzer)

add_executable(data_service_answer_fuzz ${CMAKE_CURRENT_LIST_DIR}/DataServiceAnswerFuzz.cpp)
target_link_libraries(data_service_answer_fuzz PRIVATE setupcore)
target_link_options(data_service_answer_fuzz PRIVATE -fsanitize=fuzzer)
