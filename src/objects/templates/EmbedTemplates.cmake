# Embeds the object template blocks (the .bin files beside this file, listed below) into the core
# library. Each block is looked up by its file name without extension ("Human1", "Car2", ...); a
# new block is added to the list.
#
# quorvex_embed_templates(OUTVAR) generates a C++ source in the binary folder that holds every
# block as a byte array and sets OUTVAR to its path. CMake re-runs when a block changes.

set(QUORVEX_TEMPLATE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QUORVEX_TEMPLATE_BLOCKS Car1 Car2 Car3 Human1 Human2 Human3 Thing1)

function(quorvex_embed_templates OUTVAR)
  set(blocks "")
  foreach(name IN LISTS QUORVEX_TEMPLATE_BLOCKS)
    list(APPEND blocks ${QUORVEX_TEMPLATE_DIR}/${name}.bin)
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${blocks})

  set(arrays "")
  set(entries "")
  set(index 0)
  foreach(block IN LISTS blocks)
    get_filename_component(name ${block} NAME_WE)
    file(READ ${block} hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # 16 bytes per line keeps the generated file readable (CMake's regex has no {n}).
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)
    string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
    string(APPEND arrays "const unsigned char kBlock${index}[${size}] = {\n    ${bytes}};\n")
    string(APPEND entries "    {\"${name}\", kBlock${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
  endforeach()

  # Built with string(APPEND): the C++ text holds semicolons, which a CMake list would eat.
  set(source "// Generated from src/objects/templates/*.bin by EmbedTemplates.cmake.\n")
  string(APPEND source "#include \"objects/embedded_templates.h\"\n\n")
  string(APPEND source "namespace quorvex::detail {\nnamespace {\n${arrays}}  // namespace\n\n")
  string(APPEND source "const EmbeddedBlock kEmbeddedBlocks[] = {\n${entries}};\n")
  string(APPEND source "const std::size_t kEmbeddedBlockCount = ${index};\n\n")
  string(APPEND source "}  // namespace quorvex::detail\n")

  set(out ${CMAKE_CURRENT_BINARY_DIR}/quorvex_object_templates.cpp)
  # Rewrite only when the content changed, so a re-run of CMake does not force a rebuild.
  file(WRITE ${out}.new "${source}")
  file(COPY_FILE ${out}.new ${out} ONLY_IF_DIFFERENT)
  file(REMOVE ${out}.new)
  set(${OUTVAR} ${out} PARENT_SCOPE)
endfunction()
