# The test tools: the scene builder and generator, the literal reference scans over a byte source,
# the comparisons of scan results, the identity check, a file system that fails on purpose and the
# runner of quorvex-cli. The tests, the fuzz targets and the benchmarks each include this file; the
# target is defined once, by whichever comes first.
include_guard(GLOBAL)

add_library(quorvex_testing STATIC
  ${CMAKE_CURRENT_LIST_DIR}/scene_builder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_generator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/edge_case_scenes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/literal_scans.cpp
  ${CMAKE_CURRENT_LIST_DIR}/same_results.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identity_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load_scene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failing_file_system.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli_runner.cpp)
# Included as "support/scene_builder.h" and so on.
target_include_directories(quorvex_testing PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(quorvex_testing PUBLIC quorvex_core)
# The quorvex-cli that RunCli starts (the tests that run it depend on it being built).
if(TARGET quorvex-cli)
  target_compile_definitions(quorvex_testing PRIVATE QUORVEX_CLI_PATH="$<TARGET_FILE:quorvex-cli>")
endif()
