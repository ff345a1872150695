# Native calls from scripts: the DLL the script tests call into, and the
# i686 call thunk checked as i386 Linux code (32-bit Windows code cannot run
# on this bench). Included from tests/CMakeLists.txt.

# vektestlib.dll, for both targets. The .def file exports plain names; on i686
# the linker matches each to its stdcall _Name@N symbol (the fix-up is
# intended, so its warnings are off).
add_library(vektestlib SHARED ${CMAKE_CURRENT_LIST_DIR}/vektestlib.c
    ${CMAKE_CURRENT_LIST_DIR}/vektestlib.def)
set_target_properties(vektestlib PROPERTIES
    PREFIX ""
    OUTPUT_NAME vektestlib
    SUFFIX ".dll"
    RUNTIME_OUTPUT_DIRECTORY ${VEK_TEST_BIN})
target_link_options(vektestlib PRIVATE ${VEK_LINK_FLAGS})
if(VEK_ARCH STREQUAL "i686")
    target_link_options(vektestlib PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The thunk test is a host program; it runs where the tests run.
if(VEK_ARCH STREQUAL "x86_64")
    find_program(HOST_GCC gcc REQUIRED)
    set(THUNK_TEST32 ${CMAKE_CURRENT_BINARY_DIR}/thunk_test32)
    set(THUNK_TEST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/thunk_test.c
        ${CMAKE_SOURCE_DIR}/utility/vekscriptengine/nativecall/callthunk_x86.S)
    add_custom_command(OUTPUT ${THUNK_TEST32}
        COMMAND ${HOST_GCC} -m32 -static -O2 -Wall -Wextra -o ${THUNK_TEST32} ${THUNK_TEST_SOURCES}
        DEPENDS ${THUNK_TEST_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/mixargs.h
        COMMENT "Building thunk_test32 (i386 Linux)"
        VERBATIM)
    add_custom_target(nativecall_thunk_test32 ALL DEPENDS ${THUNK_TEST32})
    add_test(NAME nativecall.x86_thunk COMMAND qemu-i386-static ${THUNK_TEST32})
endif()
