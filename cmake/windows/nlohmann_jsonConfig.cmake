# nlohmann-json for the cross build (header-only, from the host's nlohmann-json3-dev).
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
quorvex_host_header_target(nlohmann_json::nlohmann_json nlohmann)
