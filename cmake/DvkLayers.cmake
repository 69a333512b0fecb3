# Library layers. Each library of the engine (and the other Qt-free modules)
# owns one source folder and may include headers only from its own folder and
# from the folders of the libraries it links, directly or through them. A
# wrong include fails the build of that library:
#
#   dvk_layer(<target> <folder relative to the project root>)
#   ...
#   dvk_check_layers()   # once, after every target exists

function(dvk_layer target folder)
  set_property(TARGET ${target} PROPERTY DVK_LAYER_FOLDER ${folder})
  set_property(GLOBAL APPEND PROPERTY DVK_LAYER_TARGETS ${target})
endfunction()

# The layered libraries `target` links, directly or through other targets.
function(_dvk_layer_closure target out)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue t)
    if(NOT TARGET ${t} OR t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(type ${t} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(l ${links})
      if(TARGET ${l})
        list(APPEND queue ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(dvk_check_layers)
  get_property(targets GLOBAL PROPERTY DVK_LAYER_TARGETS)
  foreach(t ${targets})
    get_target_property(folder ${t} DVK_LAYER_FOLDER)
    _dvk_layer_closure(${t} closure)
    set(allowed)
    foreach(l ${closure})
      get_target_property(f ${l} DVK_LAYER_FOLDER)
      if(f)
        list(APPEND allowed ${f})
      endif()
    endforeach()
    file(GLOB files CONFIGURE_DEPENDS
      ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.c)
    set(stamp ${CMAKE_BINARY_DIR}/layer_checks/${t}.stamp)
    string(REPLACE ";" "|" allowed_arg "${allowed}")
    string(REPLACE ";" "|" files_arg "${files}")
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DTARGET=${t} -DROOT=${PROJECT_SOURCE_DIR} -DALLOWED=${allowed_arg}
              -DFILES=${files_arg} -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
      DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/check_layer_includes.cmake
      COMMENT "Checking the includes of ${t}"
      VERBATIM)
    add_custom_target(${t}_layer_check DEPENDS ${stamp})
    add_dependencies(${t} ${t}_layer_check)
  endforeach()
endfunction()
