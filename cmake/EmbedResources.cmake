# corvina_embed_resource(TARGET NAME TYPE FILE)
# Compiles FILE into TARGET as the resource NAME of type TYPE. The generated
# source registers itself at start-up, so it must be linked straight into an
# executable (a static library would let the linker drop it).
function(corvina_embed_resource target name type file)
  string(MAKE_C_IDENTIFIER "${target}_${type}_${name}" id)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/resources/${id}.cpp")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DNAME=${name} -DTYPE=${type} -DID=${id}
            -P ${CORVINA_EMBED_SCRIPT}
    DEPENDS "${file}" ${CORVINA_EMBED_SCRIPT}
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()
set(CORVINA_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake CACHE INTERNAL "")
