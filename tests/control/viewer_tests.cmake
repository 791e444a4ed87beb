# The viewer from outside: the test program starts lumen_roll.exe as a child process, plays the
# host over the real pipe, reads the window and the tree across the process boundary and clicks
# with the real mouse (xdotool). editor_stub.exe stands in for the user's editor.
if(TARGET lumen_roll AND TARGET viewer_window)
    add_executable(editor_stub WIN32 control/editor_stub.cpp)
    lumen_add_test(NAME viewer_tests
        SOURCES control/viewer_tests.cpp control/viewer_harness.cpp
        LIBRARIES viewer_window
        GUI)
    add_dependencies(viewer_tests lumen_roll editor_stub)
    target_compile_definitions(viewer_tests PRIVATE
        LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>"
        EDITOR_STUB_EXE="$<TARGET_FILE:editor_stub>")
endif()
