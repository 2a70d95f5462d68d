# Builds of this project with another compiler, for the pieces that a Windows build cannot make
# itself. Each is a CMake build of its own below this build tree, run on every build (a quick
# no-op when nothing changed).
include(ExternalProject)

# The amd64-unicode plug-in flavour for the kit: the same sources with the 64-bit MinGW-w64
# compiler.
if(QV_KIT)
  set(QV_AMD64_PLUGIN ${CMAKE_BINARY_DIR}/bin/amd64-unicode/qvonsplash.dll)
  ExternalProject_Add(qvonsplash_amd64
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/side-amd64
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel -DQV_PART=plugin
    INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/amd64-unicode
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            <BINARY_DIR>/bin/amd64-unicode/qvonsplash.dll ${QV_AMD64_PLUGIN}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${QV_AMD64_PLUGIN})
endif()

# The tools for the machine that builds: the region tool, so that the example's shape file is made
# during the build without Wine, and the settings-file tool that the interop test runs beside the
# Windows one.
set(QV_HOST_REGION_TOOL ${CMAKE_BINARY_DIR}/side-host/bin/qvonsplrgn)
set(QV_HOST_INTEROP_TOOL ${CMAKE_BINARY_DIR}/side-host/bin/ini_interop_tool)
ExternalProject_Add(qvonsplrgn_host
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/side-host
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DQV_PART=tools
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${QV_HOST_REGION_TOOL} ${QV_HOST_INTEROP_TOOL})
set(QV_HOST_REGION_TOOL_DEPENDS qvonsplrgn_host)
