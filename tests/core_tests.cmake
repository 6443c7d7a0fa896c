# The suites that need only the standard library: the core, the simulated board's model and
# sensor-decode. Built natively and, cross-compiled, run under Wine as Windows programs.

if(CMAKE_CROSSCOMPILING)
  # No GoogleTest libraries for the target system are installed; Debian ships the sources.
  set(SENSOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  if(NOT EXISTS ${SENSOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${SENSOR_GOOGLETEST_SOURCE}: install the Debian package "
                        "googletest, or set SENSOR_GOOGLETEST_SOURCE to a GoogleTest source tree.")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${SENSOR_GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# What several suites share: random frames, starting a program without a shell.
sensor_library(sensor_test_support_core
  HEADERS support/random_frames.h support/child_process.h
  SOURCES support/random_frames.cpp support/child_process.cpp
  DEPENDS sensor_sim_model
)

# One suite per folder; each links the core library rather than re-listing its sources.
function(sensor_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE sensor_core sensor_sim_model sensor_test_support_core sensor_warnings
                        GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests runs the program, under the emulator: at test time, not in every build.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

sensor_test(cells_test cells_test.cpp)
sensor_test(link_test link_test.cpp)
sensor_test(eval_test eval_test.cpp)
sensor_test(panel_logic_test panel_logic_test.cpp)
sensor_test(policy_test policy_test.cpp)
sensor_test(sim_model_test sim_model_test.cpp)
sensor_test(platform_defaults_test platform_defaults_test.cpp)
sensor_test(trends_test trends_test.cpp)
sensor_test(recording_test recording_test.cpp)
if(WIN32)
  target_link_libraries(platform_defaults_test PRIVATE sensor_windows_console)
endif()

# The decoder end to end, as a user runs it.
sensor_test(sensor_decode_test sensor_decode_test.cpp)
target_compile_definitions(sensor_decode_test PRIVATE SENSOR_DECODE_PATH="$<TARGET_FILE:sensor-decode>"
  SENSOR_DECODE_MANUAL="${PROJECT_SOURCE_DIR}/packaging/man/sensor-decode.1.in" SENSOR_README="${PROJECT_SOURCE_DIR}/README.md")
add_dependencies(sensor_decode_test sensor-decode)
