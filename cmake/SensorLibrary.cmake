# Libraries by role. Each library's headers are staged under build/include/<library>/ (symbolic
# links to the sources) and only that folder is its include path, so a file can include the
# headers of its own library and of the libraries it links, and nothing else: an include that
# points the wrong way does not build.

# Warnings for every target of ours, in the words of each compiler.
add_library(sensor_warnings INTERFACE)
if(MSVC)
  target_compile_options(sensor_warnings INTERFACE /W4 /permissive- /utf-8 $<$<BOOL:${SENSOR_WERROR}>:/WX>)
else()
  target_compile_options(sensor_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${SENSOR_WERROR}>:-Werror>)
endif()

# sensor_library(NAME HEADERS h... SOURCES cpp... [DEPENDS lib...])
# Declared in the folder that holds the library, with paths relative to it; a header is included
# by its path from the top of the tree ("link/frame_decoder.h"), as staged.
function(sensor_library name)
  cmake_parse_arguments(ARG "" "" "HEADERS;SOURCES;DEPENDS" ${ARGN})
  set(staged "${CMAKE_BINARY_DIR}/include/${name}")
  file(REMOVE_RECURSE "${staged}")
  set(header_paths "")
  foreach(header IN LISTS ARG_HEADERS)
    set(source "${CMAKE_CURRENT_SOURCE_DIR}/${header}")
    file(RELATIVE_PATH include_path "${PROJECT_SOURCE_DIR}" "${source}")
    get_filename_component(folder "${include_path}" DIRECTORY)
    file(MAKE_DIRECTORY "${staged}/${folder}")
    file(CREATE_LINK "${source}" "${staged}/${include_path}" COPY_ON_ERROR SYMBOLIC)
    list(APPEND header_paths "${source}")
    # A header copied where links cannot be made must follow its source.
    if(NOT IS_SYMLINK "${staged}/${include_path}")
      set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
    endif()
  endforeach()
  list(TRANSFORM ARG_SOURCES PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES} ${header_paths})
  else()
    # Headers alone (types shared by several libraries).
    add_library(${name} INTERFACE ${header_paths})
    target_include_directories(${name} INTERFACE "$<BUILD_INTERFACE:${staged}>")
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  target_include_directories(${name} PUBLIC "$<BUILD_INTERFACE:${staged}>")
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE sensor_warnings)
endfunction()

# sensor_program(NAME SOURCES cpp... DEPENDS lib...)
function(sensor_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} sensor_warnings)
  target_compile_definitions(${name} PRIVATE SENSOR_PANEL_VERSION="${PROJECT_VERSION}")
  # At the top of the build folder, where the README's commands start them (build/default/sensor-panel).
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}")
endfunction()
