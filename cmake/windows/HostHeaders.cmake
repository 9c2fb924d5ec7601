# Header-only libraries for the cross build: their headers are taken from the host's /usr/include,
# but through a folder that holds only them, so that no Linux system header is ever seen by the
# Windows compiler.
function(quorvex_host_header_target target header_dir)
  if(TARGET ${target})
    return()
  endif()
  set(stage ${CMAKE_BINARY_DIR}/host-headers/${header_dir})
  if(NOT EXISTS /usr/include/${header_dir})
    message(FATAL_ERROR "/usr/include/${header_dir} is missing: install the package that has it")
  endif()
  if(NOT EXISTS ${stage}/${header_dir})
    file(MAKE_DIRECTORY ${stage})
    file(CREATE_LINK /usr/include/${header_dir} ${stage}/${header_dir} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${stage})
endfunction()
