# vek_delay_imports(<out variable> <library>...): delay-load import libraries
# made at configure time from the toolchain's import libraries
# (tools/delaylib.sh); the variable receives their paths.
function(vek_delay_imports out)
    set(triplet ${VEK_ARCH}-w64-mingw32)
    set(dir ${CMAKE_BINARY_DIR}/delayimports)
    file(MAKE_DIRECTORY ${dir})
    set(libs)
    foreach(name ${ARGN})
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
            OUTPUT_VARIABLE implib OUTPUT_STRIP_TRAILING_WHITESPACE)
        set(lib ${dir}/lib${name}_delay.a)
        if(NOT EXISTS ${lib} OR ${CMAKE_SOURCE_DIR}/tools/delaylib.sh IS_NEWER_THAN ${lib})
            execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/tools/delaylib.sh ${triplet} ${implib} ${name}.dll ${lib}
                RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "cannot make the delay-load library of ${name}.dll")
            endif()
        endif()
        list(APPEND libs ${lib})
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/delaylib.sh)
    set(${out} ${libs} PARENT_SCOPE)
endfunction()
