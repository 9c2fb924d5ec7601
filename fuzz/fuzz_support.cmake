# The pieces shared by the fuzz targets: invariant checks, seed corpus, and the test scene builder
# with the literal reference scans. Included by fuzz/CMakeLists.txt (libFuzzer build) and by
# tests/reliability (the same targets replayed under the normal build's sanitizers).

set(QUORVEX_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QUORVEX_FUZZ_TARGETS catalogue object_params overview model_listing script_save insert modify)

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
  if(TARGET quorvex_scene_builder)
    target_link_libraries(quorvex_fuzz_support PUBLIC quorvex_scene_builder)
  else()
    target_sources(quorvex_fuzz_support PRIVATE
      ${PROJECT_SOURCE_DIR}/tests/support/scene_builder.cpp
      ${PROJECT_SOURCE_DIR}/tests/support/reference_scans.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/load_scene.cpp)
    target_include_directories(quorvex_fuzz_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(quorvex_fuzz_support PUBLIC quorvex_core)
  endif()
endfunction()
