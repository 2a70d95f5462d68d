# 64-bit Windows: the amd64-unicode plug-in flavour, built by a build of its own (SideBuilds.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
