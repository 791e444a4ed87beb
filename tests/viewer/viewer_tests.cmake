# The viewer from outside: the test program starts lumen_roll.exe as a child process, plays the
# host over the real pipe, reads the window and the tree across the process boundary and clicks
# with the real mouse (xdotool). editor_stub.exe stands in for the user's editor, command_line_stub.exe
# for a program planted in the searched folder.
add_library(viewer_clicks STATIC ${CMAKE_CURRENT_LIST_DIR}/viewer_clicks.cpp)
target_link_libraries(viewer_clicks PUBLIC viewer_harness test_support)

add_executable(editor_stub WIN32 viewer/editor_stub.cpp)
target_link_libraries(editor_stub PRIVATE windows_platform)
lumen_add_test(NAME viewer_tests
    SOURCES viewer/viewer_tests.cpp viewer/results_window_tests.cpp viewer/unicode_tests.cpp viewer/follow_tests.cpp
    LIBRARIES viewer_clicks
    GUI)
add_dependencies(viewer_tests lumen_roll editor_stub command_line_stub lumen_send)
target_compile_definitions(viewer_tests PRIVATE
    LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>"
    LUMEN_SEND_EXE="$<TARGET_FILE:lumen_send>"
    EDITOR_STUB_EXE="$<TARGET_FILE:editor_stub>"
    PLANTED_EXE="$<TARGET_FILE:command_line_stub>")
