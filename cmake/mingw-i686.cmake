# i686 Windows: the shipped installer.
set(VEK_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
