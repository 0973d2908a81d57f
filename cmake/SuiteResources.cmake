# suite_resources(<target> <definition> [DEPENDS <file>...])
#   Builds the resources of a resource definition (velmor-rc, see
#   docs/resources.md) into the target's file, in its section ".rsrc":
#   they travel with every copy and install of the file. DEPENDS names
#   the files the definition reads (icons).
function(suite_resources target definition)
  cmake_parse_arguments(SR "" "" "DEPENDS" ${ARGN})
  get_filename_component(definition ${definition} ABSOLUTE)
  get_filename_component(folder ${definition} DIRECTORY)
  get_filename_component(name ${definition} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.rsrc.cpp)
  set(inputs)
  foreach(file ${SR_DEPENDS})
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${folder})
    list(APPEND inputs ${file})
  endforeach()
  add_custom_command(OUTPUT ${output}
    COMMAND velmor-rc -o ${output} ${definition}
    DEPENDS velmor-rc ${definition} ${inputs}
    COMMENT "Compiling the resources of ${target}" VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
