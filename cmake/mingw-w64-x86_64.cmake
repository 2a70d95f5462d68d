# 64-bit Windows: the windows-x64 build, and the amd64-unicode plug-in flavour that the x86 build
# makes in a build of its own (SideBuilds.cmake). Its programs run under Wine's 64-bit loader,
# which needs no 32-bit code on the machine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
set(QV_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
