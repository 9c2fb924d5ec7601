# CLI11 for the cross build (header-only, from the host's libcli11-dev).
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
quorvex_host_header_target(CLI11::CLI11 CLI)
