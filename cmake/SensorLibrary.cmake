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
# Paths are relative to the top of the source tree; headers keep their folder ("link/x.h").
function(sensor_library name)
  cmake_parse_arguments(ARG "" "" "HEADERS;SOURCES;DEPENDS" ${ARGN})
  set(staged "${CMAKE_BINARY_DIR}/include/${name}")
  file(REMOVE_RECURSE "${staged}")
  set(header_paths "")
  foreach(header IN LISTS ARG_HEADERS)
    get_filename_component(folder "${header}" DIRECTORY)
    file(MAKE_DIRECTORY "${staged}/${folder}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${header}" "${staged}/${header}" COPY_ON_ERROR SYMBOLIC)
    list(APPEND header_paths "${PROJECT_SOURCE_DIR}/${header}")
    # A header copied where links cannot be made must follow its source.
    if(NOT IS_SYMLINK "${staged}/${header}")
      set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${header}")
    endif()
  endforeach()
  list(TRANSFORM ARG_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
  add_library(${name} STATIC ${ARG_SOURCES} ${header_paths})
  target_include_directories(${name} PUBLIC "$<BUILD_INTERFACE:${staged}>")
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE sensor_warnings)
endfunction()

# sensor_program(NAME SOURCES cpp... DEPENDS lib...)
function(sensor_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} sensor_warnings)
  target_compile_definitions(${name} PRIVATE SENSOR_PANEL_VERSION="${PROJECT_VERSION}")
endfunction()
