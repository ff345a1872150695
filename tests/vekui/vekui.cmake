# The window framework's Windows side: the viewer tool, offscreen rendering
# of the shipped skin and real input under an X server.
add_executable(vekuiview vekui/vekuiview.cpp)
target_link_libraries(vekuiview PRIVATE vekui)
target_link_options(vekuiview PRIVATE ${VEK_LINK_FLAGS} -municode)
add_dependencies(vekuiview skin)

if(VEK_ARCH STREQUAL "x86_64")
    add_test(NAME vekui.render COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/vekui/render_test.py ${CMAKE_BINARY_DIR})
    set_tests_properties(vekui.render PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix TIMEOUT 300
        ENVIRONMENT "LANG=zh_CN.UTF-8;LC_ALL=zh_CN.UTF-8")
    # A prefix and server of its own with Wine's X11 driver.
    add_test(NAME vekui.input COMMAND xvfb-run -a -s "-screen 0 1280x1024x24"
        /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/vekui/input_test.py ${CMAKE_BINARY_DIR})
    set_tests_properties(vekui.input PROPERTIES RESOURCE_LOCK wineprefix_x11 TIMEOUT 600
        ENVIRONMENT "LANG=zh_CN.UTF-8;LC_ALL=zh_CN.UTF-8")
endif()
