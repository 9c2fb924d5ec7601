# The pieces shared by the fuzz targets: invariant checks and the seed corpus, on top of the test
# tools (scene builder and generator, literal reference scans). Included by fuzz/CMakeLists.txt
# (libFuzzer build) and by tests/reliability (the same targets replayed under the normal build's
# sanitizers).

set(QUORVEX_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QUORVEX_FUZZ_TARGETS catalogue object_params overview model_listing script_save insert modify)

include(${PROJECT_SOURCE_DIR}/tests/support/testing_library.cmake)

function(quorvex_add_fuzz_support)
  if(TARGET quorvex_fuzz_support)
    return()
  endif()
  add_library(quorvex_fuzz_support STATIC
    ${QUORVEX_FUZZ_DIR}/fuzz_support.cpp
    ${QUORVEX_FUZZ_DIR}/read_back.cpp
    ${QUORVEX_FUZZ_DIR}/save_expectations.cpp
    ${QUORVEX_FUZZ_DIR}/seed_scenes.cpp)
  target_include_directories(quorvex_fuzz_support PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(quorvex_fuzz_support PUBLIC quorvex_testing)
endfunction()
