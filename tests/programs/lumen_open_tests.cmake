# lumen_open: the split of the viewer's call, templates, presets and settings in the test's own
# process; the program as a child process, with a stand-in editor that writes down its raw
# command line (and another that stands for a program planted in the searched folder); a real double-click in the viewer started with lumen_open as its editor; and
# lumen_send handing the viewer lumen_open and ending before the viewer does.
add_executable(command_line_stub WIN32 ${CMAKE_CURRENT_LIST_DIR}/command_line_stub.cpp)

lumen_add_test(NAME lumen_open_tests
    SOURCES programs/lumen_open_tests.cpp
    LIBRARIES lumen_open_parts viewer_clicks
    GUI)
add_dependencies(lumen_open_tests lumen_open lumen_send lumen_roll command_line_stub editor_stub lumen_send_fake_viewer)
target_compile_definitions(lumen_open_tests PRIVATE
    LUMEN_OPEN_EXE="$<TARGET_FILE:lumen_open>"
    LUMEN_SEND_EXE="$<TARGET_FILE:lumen_send>"
    LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>"
    STUB_EXE="$<TARGET_FILE:command_line_stub>"
    PLANTED_EXE="$<TARGET_FILE:editor_stub>"
    FAKE_VIEWER_EXE="$<TARGET_FILE:lumen_send_fake_viewer>")
