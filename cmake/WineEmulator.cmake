# Runs the build's Windows programs under Wine: configures <build>/wine-exec from tools/wine-exec.in and
# makes it the emulator through which CTest starts every test executable of the including directory.
set(WINE_EXEC_REPO ${CMAKE_SOURCE_DIR})
set(WINE_EXEC_BUILD_DIR ${CMAKE_BINARY_DIR})
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  set(WINE_EXEC_ARCH x86_64)
else()
  set(WINE_EXEC_ARCH i686)
endif()
configure_file(${CMAKE_SOURCE_DIR}/tools/wine-exec.in ${CMAKE_BINARY_DIR}/wine-exec
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
               WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-exec)
