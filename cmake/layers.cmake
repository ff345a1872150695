# vek_layer(<name> <folder> [LINK <lower layers and libraries>...])
# A layer: every source below <folder> in one static library.
function(vek_layer name folder)
    cmake_parse_arguments(L "" "" "LINK;EXTRA_SOURCES" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    add_library(${name} STATIC ${sources} ${L_EXTRA_SOURCES})
    target_link_libraries(${name} PUBLIC ${L_LINK})
    vek_layer_check(${name})
endfunction()

# Links every object of the layer into a program with nothing but what the
# layer declares it uses: a symbol of a higher layer stays undefined there,
# and the build fails.
function(vek_layer_check name)
    set(stub ${CMAKE_BINARY_DIR}/layercheck_main.c)
    if(NOT EXISTS ${stub})
        file(WRITE ${stub} "int main(void) { return 0; }\n")
    endif()
    add_executable(${name}_layercheck ${stub})
    target_link_libraries(${name}_layercheck PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
    # Every section kept: a reference from one the linker would drop fails too.
    set(flags ${VEK_LINK_FLAGS})
    list(REMOVE_ITEM flags -Wl,--gc-sections)
    target_link_options(${name}_layercheck PRIVATE ${flags})
endfunction()
