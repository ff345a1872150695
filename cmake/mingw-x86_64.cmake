# x86_64 Windows: the shipped installer's twin, used for every run-time test.
set(VEK_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
