# Windows: the two programs in one folder with what they need to run beside them (Qt's DLLs, its
# windows platform and style plugins, the MinGW runtime), and CPack's NSIS installer of that folder
# (scripts/package-windows.sh). scripts/build-windows.sh installs the same folder without packing it.

install(TARGETS sensor-panel sensor-decode RUNTIME DESTINATION .)

set(qt_libraries)
foreach(module Core Gui Widgets)
  list(APPEND qt_libraries $<TARGET_FILE:Qt6::${module}>)
endforeach()
install(FILES ${qt_libraries} DESTINATION .)
# Without the platform plugin Qt cannot open a window at all (and says so in a message box);
# without the style the panel falls back to the plain "windows" look.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# The compiler's own runtime: Qt's DLLs and the programs share this one copy.
set(runtime_libraries)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is, and the programs cannot run without it "
                        "beside them: install the compiler's runtime (Debian: g++-mingw-w64-x86-64-posix).")
  endif()
  get_filename_component(path "${path}" REALPATH)
  list(APPEND runtime_libraries "${path}")
endforeach()
install(FILES ${runtime_libraries} DESTINATION .)

# A stripped install strips the copied DLLs too: Debian's libstdc++-6.dll alone carries 20 MB of
# symbols.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE libraries \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    foreach(library IN LISTS libraries)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${library}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME sensor-panel)
set(CPACK_PACKAGE_VENDOR "sensor-panel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator panel for a sensor board on a serial line")
set(CPACK_PACKAGE_FILE_NAME sensor-panel-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY sensor-panel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY sensor-panel)
set(CPACK_STRIP_FILES ON)
# The Start menu entry: "Sensor panel" in the folder "sensor-panel", beside its uninstaller.
set(CPACK_PACKAGE_EXECUTABLES sensor-panel "Sensor panel")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME "Sensor panel")
set(CPACK_NSIS_PACKAGE_NAME "Sensor panel")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_INSTALLED_ICON_NAME sensor-panel.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# makensis makes a 32-bit installer unless told otherwise; a 64-bit program wants a 64-bit one
# (and 64-bit Wine runs only that).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
include(CPack)
